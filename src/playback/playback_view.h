#pragma once
// What the playback and transport controllers need from the main window:
// its parts by what they are, its text lines by what they show, its timers
// and a few of its commands. BA1 implements it; tests use a fake that keeps
// the parts' state in tables.

#include <QRect>
#include <QSize>
#include <QString>

#include <cmath>

namespace vantoli {

// The web panes, WebN by number.
inline constexpr int kCatalogPane = 1;      // Web1
inline constexpr int kWebPlaybackPane = 2;  // Web2
inline constexpr int kNetworkListPane = 3;  // Web3
inline constexpr int kLocalListPane = 4;    // Web4
inline constexpr int kEpisodeListPane = 5;  // Web5
inline constexpr int kStatisticsPane = 6;   // Web6
inline constexpr int kPlayerAdPane = 7;     // Web7
inline constexpr int kUnderPlayerPane = 8;  // Web8
inline constexpr int kHighlightsPane = 9;   // Web9
inline constexpr int kTvChannelPane = 10;   // Web10
inline constexpr int kTvListPane = 11;      // Web11

// Window-button commands (npc_Click) the controllers run, and the page tabs
// mainTab() reports.
inline constexpr int kNpcTopmost = 4;
inline constexpr int kNpcPlayerSideBar = 6;
inline constexpr int kNpcLocalSideTab = 7;
inline constexpr int kNpcPlayerPage = 9;
inline constexpr int kNpcNetworkSideTab = 11;
inline constexpr int kNpcTvSideBar = 15;
inline constexpr int kTabPlayer = 9;
inline constexpr int kTabTv = 13;

enum class PlaybackTimer {
    Status,        // Timer1, 1000 ms: the status tick
    EndOfPlayback, // Timer2, 2000 ms: one shot per enabling
    LookupRetry,   // Timer4, 50 000 ms: retry of a failed next-episode lookup
};

class PlaybackTimers {
public:
    virtual ~PlaybackTimers() = default;
    virtual bool isTimerEnabled(PlaybackTimer timer) const = 0;
    // Enabling a running timer does not restart it.
    virtual void setTimerEnabled(PlaybackTimer timer, bool enabled) = 0;
};

// Sprite strips of the transport buttons (skin slots).
inline constexpr int kStripPlay = 12;      // button 0: 58 x 43 frames
inline constexpr int kStripStop = 13;      // button 1
inline constexpr int kStripMute = 14;      // button 2
inline constexpr int kStripTools = 16;     // buttons 3, 4, 6 normal
inline constexpr int kStripToolsHover = 17; // buttons 3, 4, 6 hover
inline constexpr int kStripEpisode = 18;   // buttons 5 and 7

// The parts of the window the controllers show, hide, move and size. The
// window maps each to its control in one table; nothing else names them.
enum class Part {
    CatalogArea,       // the catalog page's holder
    CatalogWaiting,    // the waiting box over the catalog
    WebPlaybackArea,   // web playback: its pane and close button
    PlayerArea,        // the player: video, picture panel, bars
    VideoHost,         // the video itself
    Cover,             // the picture panel over the video
    PausePicture,      // the pause picture on it
    PauseAdPane,       // the advertisement pane shown while paused
    StopAdPane,        // the page shown after a stop
    NextEpisodeNotice, // "the next episode is being prepared"
    TvClose,           // the close button over a TV channel
    SeekTrack,
    SeekKnob,
    PlayedBar,         // the played part of the seek track
    BufferedBar,       // the part fetched ahead
    VolumeTrack,
    VolumeKnob,
    VolumeFill,
    TitleBar,          // the bar the title is centred in
    TooltipBox,        // the box under a hovered button
    TooltipText,       // its text
};

// Which line shows a time text: the status tick's sits a pixel higher than
// the one a seek key or a stop leaves.
enum class TimesLine { Command, Tick };

// Where the player page's text lines go (the window and the tests' fake
// place them alike). Label sizes are those their texts take.
inline QPoint timeLabelPosition(int labelWidth, int playerAreaWidth, TimesLine line) {
    return {playerAreaWidth - labelWidth - 13, line == TimesLine::Tick ? 2 : 3};
}
inline QPoint titleLabelPosition(int labelWidth, int titleBarWidth) { return {(titleBarWidth - labelWidth) / 2, 3}; }

// Where the seek bar's parts go for a position of a duration (seconds) and a
// buffered share (thousandths of the track): the knob's left (0 without a
// duration), the played part up to it, the buffered part from the track's
// start (out of sight below 1). Halves round to even.
struct SeekBarPlaces {
    int knobLeft = 0;
    int playedWidth = 0;
    QRect buffered;
};
inline SeekBarPlaces seekBarPlaces(int trackWidth, int knobWidth, QRect buffered, int position, int duration,
                                   int bufferedThousandths) {
    SeekBarPlaces p;
    const int range = trackWidth - knobWidth;
    p.knobLeft = duration != 0 ? int(std::nearbyint(double(position) / duration * range)) : 0;
    p.playedWidth = p.knobLeft;
    p.buffered = buffered;
    if (bufferedThousandths < 1) {
        p.buffered.moveLeft(-30);
        p.buffered.setWidth(0);
    } else {
        p.buffered.moveTopLeft(QPoint(0, 0));
        p.buffered.setWidth(int(std::nearbyint(double(trackWidth) * bufferedThousandths / 1000.0)));
    }
    return p;
}

// The tooltip box of a transport button: its text at (3, 3), the box
// centred under the button (window coordinates) with the width the text
// takes, 64 pixels above the window's bottom.
inline QRect transportTipBoxRect(const QRect &button, QSize text, int clientHeight) {
    const QSize box(text.width() + 6, text.height() + 6);
    return {QPoint(button.left() + button.width() / 2 - box.width() / 2, clientHeight - 64), box};
}

class PlaybackView {
public:
    virtual ~PlaybackView() = default;

    virtual bool isShown(Part part) const = 0;
    virtual void setShown(Part part, bool shown) = 0;
    // Geometry in the part's parent's coordinates.
    virtual QRect geometryOf(Part part) const = 0;
    virtual void setGeometryOf(Part part, const QRect &geometry) = 0;
    // A label part's text; the label takes the size of its text.
    virtual void setTextOf(Part part, const QString &text) = 0;
    virtual void setToolTipOf(Part part, const QString &text) = 0;

    // The transport buttons, 0 to 7. Their rectangles are in window
    // coordinates (the tooltip box they place is a child of the window).
    virtual QRect transportButtonRect(int button) const = 0;
    virtual void setTransportToolTip(int button, const QString &text) = 0;
    virtual void setTransportEnabled(int button, bool enabled) = 0;
    // Mouse capture by a button: later moves outside it still reach it.
    virtual void setTransportCapture(int button, bool capture) = 0;

    // The player page's text lines, by what they show; the window owns
    // their labels and places them.
    // The status line ("准备就绪", "已暂停", speeds, errors).
    virtual void setStatus(const QString &text) = 0;
    // Position and length, or the clock, right-aligned over the player area.
    virtual void setTimes(const QString &text, TimesLine line = TimesLine::Command) = 0;
    // A stop empties the time label where the text it had put it.
    virtual void clearTimes() = 0;
    // The title of the item playing, centred in its bar.
    virtual void setTitle(const QString &text) = 0;
    // The seek bar for a position of a duration (seconds) with a buffered
    // share (thousandths of the track), placed by seekBarPlaces.
    virtual void setProgress(int position, int duration, int buffered) = 0;
    // The buffered part out of sight (nothing loaded).
    virtual void hideBuffered() = 0;

    // Paints the frame at x offset `frame` of a sprite strip onto transport
    // button `button`, and refreshes it.
    virtual void paintTransportFrame(int button, int strip, int frame) = 0;
    // The tooltip box P1 of the title-bar and transport buttons: shown
    // under a transport button with its text, or hidden.
    virtual void showTransportTip(int button, const QString &text) = 0;
    virtual void hideTooltipBox() = 0;

    // Short notice at the tray icon. Callers test s_pao where they must.
    virtual void balloon(const QString &text) = 0;
    // Navigates pane WebN (1 to 11).
    virtual void navigatePane(int number, const QString &url) = 0;

    // Window-button command, and the view state it keeps.
    virtual void npc_Click(int index) = 0;
    virtual int mainTab() const = 0;
    virtual bool isTopmost() const = 0; // npc element 4 reads "取消置顶"
    // The player menu's q_yin caption follows the mute button.
    virtual void setMuteMenuCaption(bool muted) = 0;
    // Inner size of the main window.
    virtual QSize clientSize() const = 0;
    // The main window's pointer back to the default arrow.
    virtual void resetCursor() = 0;
    // The click-suppress flag shared with the window buttons: a press with
    // any button but the left one sets it, and the next click only clears it.
    virtual bool clickSuppress() const = 0;
    virtual void setClickSuppress(bool on) = 0;
};

// The operations the controllers call on each other, so that each can be
// tested with the others faked.
class TransportCommands {
public:
    virtual ~TransportCommands() = default;
    virtual void bo_but_Click(int index) = 0;
};

class PlayAreaSwitch {
public:
    virtual ~PlayAreaSwitch() = default;
    // 1 web playback pane, 2 player, 3 TV channel pane; leaving the player
    // stops it (saving the position).
    virtual void setPlayAreaMode(int mode) = 0;
};

class EpisodeStepper {
public:
    virtual ~EpisodeStepper() = default;
    // 1 the previous episode, any other value the next.
    virtual void stepEpisode(int direction) = 0;
};

} // namespace vantoli
