#pragma once
// Media made and inspected with ffmpeg: test clips for the demo catalog and
// poster frames for imported titles.

#include <QString>

#include <string>
#include <vector>

namespace vantoli::server {

// Runs a program with an argument list (no shell), its output discarded.
// Returns its exit status, or -1 when it could not be started.
int runProgram(const std::vector<std::string> &argv);

enum class ClipFormat { Mp4, WebM };

struct ClipSpec {
    std::string output;
    QString heading;    // written into the picture
    QString subheading; // second line
    int seconds = 25;
    QString size = QStringLiteral("640x360");
    ClipFormat format = ClipFormat::Mp4;
    int pattern = 0;    // picks the test pattern and its hue
    int toneHz = 440;
    bool fast = false;  // fastest encoder settings, for tests
};

// A test-pattern clip with the headings, a running clock and a tone.
// H.264/AAC MP4 with the index at the front, or VP8/Vorbis WebM.
bool makeClip(const ClipSpec &spec);

// One frame at `at` seconds (or the first frame if the media is shorter),
// scaled to 320 pixels wide, as JPEG.
bool grabPoster(const std::string &media, const std::string &jpeg, double at);

// A font file for the headings (CJK first); empty when none is installed.
std::string headingFont();

} // namespace vantoli::server
