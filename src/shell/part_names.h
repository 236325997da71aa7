#pragma once
// The window's control behind each part of the playback view: the one table
// of them. The window uses it, and so does the tests' fake window, so that
// tests read the parts under the names users and skins know.

#include "playback/playback_view.h"
#include "shell/window_modes.h"

#include <QString>

#include <optional>

namespace vantoli {

inline QString partControlName(Part part) {
    switch (part) {
    case Part::CatalogArea: return QStringLiteral("Pic1");
    case Part::CatalogWaiting: return QStringLiteral("wait");
    case Part::WebPlaybackArea: return QStringLiteral("Pic2");
    case Part::PlayerArea: return QStringLiteral("peer");
    case Part::VideoHost: return QStringLiteral("Peerx");
    case Part::Cover: return QStringLiteral("bo_ad");
    case Part::PausePicture: return QStringLiteral("adp");
    case Part::PauseAdPane: return QStringLiteral("ad_huan");
    case Part::StopAdPane: return QStringLiteral("bo_pad");
    case Part::NextEpisodeNotice: return QStringLiteral("next_s");
    case Part::TvClose: return QStringLiteral("gtv");
    case Part::SeekTrack: return QStringLiteral("gunt");
    case Part::SeekKnob: return QStringLiteral("gunt1");
    case Part::PlayedBar: return QStringLiteral("gunt2");
    case Part::BufferedBar: return QStringLiteral("huan");
    case Part::VolumeTrack: return QStringLiteral("yin");
    case Part::VolumeKnob: return QStringLiteral("bo_v");
    case Part::VolumeFill: return QStringLiteral("bo_y");
    case Part::TitleBar: return QStringLiteral("bo_zt");
    case Part::TooltipBox: return QStringLiteral("P1");
    case Part::TooltipText: return QStringLiteral("bo_tip");
    }
    return {};
}

// The page a page tab (8, 9, 13, 14) or a side tab (7, 11, 12) shows.
inline QString pageOfTab(int index) {
    switch (index) {
    case 8: return QStringLiteral("zzp");
    case 9: return QStringLiteral("zz");
    case 13: return QStringLiteral("tv");
    case 14: return QStringLiteral("ying");
    case 11: return QStringLiteral("Pic5");
    case 12: return QStringLiteral("Pic3");
    case 7: return QStringLiteral("Pic4");
    default: return {};
    }
}

// The control behind a part the window modes show and hide.
inline QString modesPartControlName(shell::ModesPart part, int index) {
    using shell::ModesPart;
    switch (part) {
    case ModesPart::TitleButton: return QStringLiteral("npc%1").arg(index);
    case ModesPart::TabPage: return pageOfTab(index);
    case ModesPart::LeaveCompact: return QStringLiteral("jbi");
    case ModesPart::TitleIcon: return QStringLiteral("Imi");
    case ModesPart::ItemTitle: return QStringLiteral("bo_name");
    case ModesPart::ProductName: return QStringLiteral("ni_name");
    case ModesPart::CompactTitle: return QStringLiteral("ni_bo1");
    case ModesPart::WebPlaybackClose: return QStringLiteral("ggx");
    case ModesPart::SideBar: return QStringLiteral("l2");
    case ModesPart::TvClose: return QStringLiteral("gtv");
    case ModesPart::TvSideBar: return QStringLiteral("tvright");
    case ModesPart::Footer: return QStringLiteral("bo_foot");
    }
    return {};
}

// The part a control shows, for events that come from the control.
inline std::optional<Part> partForControl(const QString &name) {
    for (int i = 0; i <= int(Part::TooltipText); ++i)
        if (partControlName(Part(i)) == name)
            return Part(i);
    return std::nullopt;
}

} // namespace vantoli
