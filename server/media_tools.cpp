#include "media_tools.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

extern char **environ;

namespace vantoli::server {

int runProgram(const std::vector<std::string> &argv) {
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string headingFont() {
    static const char *candidates[] = {
        "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc",
        "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
        "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
        "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    };
    std::error_code ec;
    for (const char *c : candidates)
        if (std::filesystem::is_regular_file(c, ec))
            return c;
    return {};
}

// Filter arguments take paths unquoted; only paths without filter syntax
// characters are used there.
static bool filterSafe(const std::string &path) {
    return path.find_first_of(":'\\,;[]=") == std::string::npos;
}

static bool writeText(const std::string &path, const QString &text) {
    std::ofstream out(path, std::ios::binary);
    const QByteArray u = text.toUtf8();
    out.write(u.constData(), u.size());
    return bool(out);
}

bool makeClip(const ClipSpec &spec) {
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/vantoli-clip-XXXXXX"));
    if (!tmp.isValid())
        return false;
    const std::string dir = tmp.path().toStdString();
    const std::string secs = std::to_string(spec.seconds);
    const char *patterns[] = {"testsrc2", "testsrc", "testsrc2", "smptehdbars"};
    const std::string source = std::string(patterns[spec.pattern % 4]) + "=size=" +
                               spec.size.toStdString() + ":rate=25:duration=" + secs;

    std::string filter = "hue=h=" + std::to_string((spec.pattern * 67) % 360);
    const std::string font = headingFont();
    if (!font.empty() && filterSafe(font) && filterSafe(dir)) {
        writeText(dir + "/h1.txt", spec.heading);
        writeText(dir + "/h2.txt", spec.subheading);
        writeText(dir + "/clock.txt", QStringLiteral("%{pts:hms}"));
        const std::string common = "drawtext=fontfile=" + font +
                                   ":fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=8"
                                   ":x=(w-text_w)/2";
        filter += "," + common + ":textfile=" + dir + "/h1.txt:fontsize=h/9:y=h*0.28";
        filter += "," + common + ":textfile=" + dir + "/h2.txt:fontsize=h/14:y=h*0.46";
        filter += "," + common + ":textfile=" + dir + "/clock.txt:fontsize=h/16:y=h*0.78";
    }

    filter += ",format=yuv420p";

    std::vector<std::string> argv = {
        "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
        "-f", "lavfi", "-i", source,
        "-f", "lavfi", "-i", "sine=frequency=" + std::to_string(spec.toneHz) +
                             ":sample_rate=48000:duration=" + secs,
        "-vf", filter, "-shortest"};
    if (spec.format == ClipFormat::Mp4) {
        argv.insert(argv.end(), {"-c:v", "libx264", "-preset", spec.fast ? "ultrafast" : "veryfast",
                                 "-pix_fmt", "yuv420p", "-g", "50", "-c:a", "aac", "-b:a", "96k",
                                 "-movflags", "+faststart"});
    } else {
        argv.insert(argv.end(), {"-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8",
                                 "-b:v", spec.fast ? "200k" : "900k", "-g", "50",
                                 "-c:a", "libvorbis", "-q:a", "3"});
    }
    argv.push_back(spec.output);
    return runProgram(argv) == 0 && std::filesystem::is_regular_file(spec.output);
}

bool grabPoster(const std::string &media, const std::string &jpeg, double at) {
    for (const double t : {at, 0.0}) {
        const int rc = runProgram({"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
                                   "-ss", std::to_string(t), "-i", media, "-frames:v", "1",
                                   "-vf", "scale=320:-2", "-q:v", "4", jpeg});
        std::error_code ec;
        if (rc == 0 && std::filesystem::file_size(jpeg, ec) > 0 && !ec)
            return true;
    }
    return false;
}

} // namespace vantoli::server
