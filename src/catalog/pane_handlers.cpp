#include "catalog/pane_handlers.h"

#include "app/app_settings.h"
#include "app/dialogs.h"
#include "app/text_util.h"
#include "catalog/escape.h"
#include "catalog/links.h"
#include "catalog/web_address.h"
#include "history/history_files.h"
#include "platform/file_name.h"
#include "platform/http_get.h"
#include "platform/text_file.h"
#include "playback/play_address.h"
#include "playback/player.h"


#include <algorithm>
#include <climits>

namespace vantoli {

PaneHandlers::PaneHandlers(const CatalogServices &services) : s_(services), byNumber_(services.lookups) {}

bool PaneHandlers::beforeNavigate(int pane, const QString &address) {
    const LinkKind kind = recognizeLink(address);
    switch (pane) {
    case kCatalogPane:
        if (kind == LinkKind::ByNumber)
            lookUpByNumber(address);
        else if (kind == LinkKind::Media)
            playMediaLink(address);
        break;
    case kWebPlaybackPane:
        if (isSameWebPage(address, s_.playEndedUrl)) {
            endOfPlay();
            return true;
        }
        break;
    case kNetworkListPane:
        if (kind == LinkKind::HistoryDelete)
            historyDelete(address);
        else if (kind == LinkKind::HistoryOpen)
            historyOpen(address);
        break;
    case kLocalListPane:
        if (kind == LinkKind::HistoryDelete || kind == LinkKind::HistoryOpen) {
            s_.view->navigatePane(kNetworkListPane, address);
            if (kind == LinkKind::HistoryDelete)
                s_.host->refreshPane(kLocalListPane);
        }
        break;
    case kEpisodeListPane:
        if (address.contains(kByNumberScheme) || address.contains(kMediaScheme)) {
            s_.view->navigatePane(kCatalogPane, address);
            return true;
        }
        break;
    case kTvListPane:
        if (address.left(kTvScheme.size()) == kTvScheme) {
            openTvChannel(address);
            return true;
        }
        break;
    default:
        break;
    }
    // A program link the pane has no handler for does nothing, and the pane
    // stays on its page.
    return kind != LinkKind::None;
}

void PaneHandlers::startPlayer(const QString &url) {
    s_.player->setUrl(url);
    s_.player->Play();
    s_.timers->setTimerEnabled(PlaybackTimer::Status, true);
}

void PaneHandlers::lookUpByNumber(const QString &link) {
    const ByNumberLink b = decodeByNumberLink(link);
    s_.view->setStatus(QStringLiteral("正在搜索资源，请稍后"));
    s_.view->npc_Click(kNpcPlayerPage);
    const quint64 item = s_.session->state().itemSerial;
    byNumber_.start(episodeLookupUrl(s_.contentBase, b.videoId, b.source, b.episode),
                    [this, link, item](const QString &body) {
                        if (s_.session->state().itemSerial == item)
                            byNumberReplied(link, body.trimmed());
                    });
}

void PaneHandlers::cancelLookup() { byNumber_.cancel(); }

void PaneHandlers::byNumberReplied(const QString &link, const QString &reply) {
    const ByNumberLink b = decodeByNumberLink(link);
    if (reply.isEmpty() || reply == kNoNextEpisode) {
        s_.session->setNextEpisode(kNoNextEpisode);
        s_.view->setStatus(QStringLiteral("读取数据出错，请重试"));
    }
    if (const auto r = parseEpisodeLookupReply(reply)) {
        s_.view->navigatePane(kCatalogPane, buildLookupMediaLink(r->kind, r->address, b.title, r->episodeName,
                                                                 b.videoId, b.source, b.episode));
        // The lookup's media link asks for no list; the catalog page that was
        // clicked (or the server) supplies it.
        s_.host->showEpisodeList(b.title, b.videoId, toIntOrZero(b.source), toIntOrZero(b.episode));
    } else {
        s_.view->balloon(QStringLiteral("读取数据出错，请返回重试！"));
    }
}

void PaneHandlers::refuseAddress() {
    s_.view->setStatus(kRefusedAddressText);
}

void PaneHandlers::playMediaLink(const QString &link) {
    const MediaLink m = decodeMediaLink(link);
    // A page may name only network addresses: anything else is refused
    // before the current item stops, the player opens it or a line is written.
    // (An empty address is no address: the player is left with nothing.)
    const PlayAddress target = checkPlayAddress(unescapeText(m.address), AddressOrigin::Remote);
    if (m.isPlayerKind() && !m.address.isEmpty() && !target.accepted()) {
        refuseAddress();
        return;
    }
    s_.host->ensureTransferRunning();
    const QString key = QString::number(m.videoId) + u'-' + m.source + u'-' + m.episode + u'-' + m.title;
    const QString episodeName = unescapeText(m.episodeName);
    if (m.isPlayerKind()) {
        s_.playArea->setPlayAreaMode(kPlayAreaPlayer);
        s_.session->startNetworkItem(key, episodeName, QString::number(m.videoId));
        startPlayer(target.address);
    } else {
        // Web playback writes no positions.
        s_.playArea->setPlayAreaMode(kPlayAreaWeb);
        s_.session->startNetworkItem(key, episodeName, kNothing);
        s_.view->navigatePane(kWebPlaybackPane, webPlaybackUrl(s_.contentBase, m.kind, m.address));
        s_.timers->setTimerEnabled(PlaybackTimer::Status, false);
    }
    s_.view->setTitle(truncateToWidth(unescapeText(m.title), 30) + u'-' + episodeName);
    if (!m.title.isEmpty() && !m.address.isEmpty()) {
        if (m.wantsListRefresh()) {
            s_.view->navigatePane(kEpisodeListPane,
                                  episodeListPageUrl(s_.contentBase, buildPageParameters(m.videoId, m.source, m.episode,
                                                                                         m.title, kNothing)));
        }
        s_.history->addNetworkTask(m.videoId, m.title, m.episodeName, m.address, toIntOrZero(m.source),
                                   toIntOrZero(m.episode), 0);
    }
    s_.host->sendPlayPing();
    s_.view->npc_Click(kNpcPlayerPage);
    s_.view->npc_Click(kNpcNetworkSideTab);
}

void PaneHandlers::endOfPlay() {
    const bool autoNext = AppSettings(*s_.settings).playNextEpisode();
    s_.timers->setTimerEnabled(PlaybackTimer::Status, true);
    const PlaybackState &st = s_.session->state();
    if (!autoNext || st.nextEpisodeState == kNoNextEpisode)
        return;
    if (st.nextEpisodeState == kNothing || st.nextEpisodeState == kLookupFailed) {
        // The episode list page clicks the next episode itself.
        const auto key = splitItemKey(st.currentItemKey);
        if (!key || key->fields < 4)
            return;
        const QString autoclick = key->source + QString::number(toIntOrZero(key->episode) + 1);
        s_.view->navigatePane(kEpisodeListPane,
                              episodeListPageUrl(s_.contentBase, buildPageParameters(toIntOrZero(key->id), key->source,
                                                                                     key->episode, key->title, autoclick)));
    } else {
        s_.view->navigatePane(kCatalogPane, st.nextEpisodeState);
    }
}

void PaneHandlers::historyDelete(const QString &link) {
    const QString file = s_.host->localListShown() ? kLocalHistoryFile : kNetworkHistoryFile;
    s_.history->removeHistoryLine(file, decodeHistoryDeleteLink(link));
    if (s_.session->state().playSource != kSourceNetwork)
        s_.host->refreshPane(kEpisodeListPane);
}

void PaneHandlers::historyOpen(const QString &link) {
    const int n = decodeHistoryOpenLink(link);
    const bool local = s_.host->localListShown();
    const auto lines = readTextLines(s_.history->filePath(local ? HistoryList::LocalPlays : HistoryList::NetworkTasks));
    // A line that does not exist (or is no entry) plays nothing.
    if (!lines || n < 1 || n > lines->size() || !lines->at(n - 1).contains(u'|'))
        return;
    const QString line = lines->at(n - 1);
    PlaybackSession &session = *s_.session;

    if (local) {
        const LocalPlayEntry e = *parseLocalPlayLine(line);
        // The local-play list holds what the user opened: files and network
        // addresses, nothing else.
        const PlayAddress target = checkPlayAddress(e.path, AddressOrigin::User);
        if (!target.accepted()) {
            refuseAddress();
            return;
        }
        s_.playArea->setPlayAreaMode(kPlayAreaPlayer);
        if (target.isLocalFile() && !localFileExists(target.address)) {
            s_.dialogs->showMessage(kDialogTitle, fileNameForDisplay(e.path) + QStringLiteral("不存在!"));
            s_.history->removeHistoryLine(kLocalHistoryFile, n);
            return;
        }
        startPlayer(target.address);
        s_.view->setTitle(truncateToWidth(unescapeText(e.name), 30));
        session.startLocalItem(e.path, int(std::clamp<qint64>(e.position, 0, INT_MAX)));
        return;
    }

    const QStringList f = line.split(u'|');
    const QString id = f.value(0), title = f.value(1), episodeName = f.value(2), address = f.value(3);
    const QString source = f.value(4), episode = f.value(5);
    const QString key = buildItemKey(id, source, episode, title);
    if (address.contains(QStringLiteral("peer"))) {
        // A network-task line is what a page once asked for: the same limits.
        const PlayAddress target = checkPlayAddress(unescapeText(address), AddressOrigin::Remote);
        if (!target.accepted()) {
            refuseAddress();
            return;
        }
        s_.playArea->setPlayAreaMode(kPlayAreaPlayer);
        s_.host->ensureTransferRunning();
        startPlayer(target.address);
        s_.view->setTitle(truncateToWidth(unescapeText(title), 30) + u'-' + unescapeText(episodeName));
        session.startNetworkItem(key, unescapeText(episodeName), id, toIntOrZero(f.value(6)));
        s_.view->navigatePane(kEpisodeListPane,
                              episodeListPageUrl(s_.contentBase, buildPageParameters(toIntOrZero(id), source, episode,
                                                                                     title, kNothing)));
        s_.host->sendPlayPing();
    } else {
        s_.playArea->setPlayAreaMode(kPlayAreaWeb);
        session.dropItemReference(kSourceNetwork);
        s_.view->navigatePane(kEpisodeListPane,
                              episodeListPageUrl(s_.contentBase, buildPageParameters(toIntOrZero(id), source, episode,
                                                                                     title, source + episode)));
    }
    s_.view->npc_Click(kNpcNetworkSideTab);
}

void PaneHandlers::openTvChannel(const QString &link) {
    s_.view->navigatePane(kTvChannelPane, tvChannelUrl(s_.contentBase, decodeTvLink(link)));
    s_.view->setShown(Part::TvClose, true);
    s_.playArea->setPlayAreaMode(kPlayAreaTv);
}

} // namespace vantoli
