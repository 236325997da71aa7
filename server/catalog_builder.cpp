#include "catalog_builder.h"

#include "torrents.h"

#include "catalog.h"
#include "media_tools.h"

#include <QStringList>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace vantoli::server {
namespace {

bool writeFile(const fs::path &path, const QString &text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const QByteArray u = text.toUtf8();
    out.write(u.constData(), u.size());
    return bool(out);
}

QString qs(const fs::path &p) {
    return QString::fromStdString(p.string());
}

struct DemoTitle {
    QString name;
    bool series;
    int year;
    bool featured;
    QString description;
    // Source name and kind of each source.
    QList<QPair<QString, QString>> sources;
    int episodes;
};

} // namespace

std::string createDemo(const DemoOptions &o, const Progress &progress) {
    const fs::path data = o.dataDir;
    std::error_code ec;
    if (fs::exists(catalogPath(o.dataDir), ec))
        return o.dataDir + " already holds a catalog";
    const fs::path media = data / "media";
    fs::create_directories(media / "demo", ec);
    fs::create_directories(media / "posters", ec);
    fs::create_directories(data / "lib", ec);
    if (ec)
        return "cannot create " + media.string() + ": " + ec.message();

    // The catalog is written to a temporary file and renamed at the end, so
    // an interrupted run leaves no half catalog behind.
    const std::string tmpDir = o.dataDir + "/.demo-tmp";
    fs::remove_all(tmpDir, ec);
    fs::create_directories(tmpDir, ec);
    auto owned = std::make_unique<CatalogStore>();
    CatalogStore &store = *owned;
    if (!store.open(tmpDir, true))
        return "cannot create the catalog: " + store.error();

    const QList<DemoTitle> titles = {
        {QStringLiteral("星河旅人"), true, 2023, true,
         QStringLiteral("飞船“远星号”在银河边缘执行最后一次巡航，船员们在未知的星域里寻找回家的航线。"),
         {{QStringLiteral("高清"), kPlayerKind}, {QStringLiteral("网页"), kWebKind}}, 4},
        {QStringLiteral("山城往事"), true, 2021, true,
         QStringLiteral("老街尽头的一家小面馆，三代人在这里相遇、离开，又在雾气里重逢。"),
         {{QStringLiteral("高清"), kPlayerKind}}, 5},
        {QStringLiteral("海边的夏天"), false, 2022, true,
         QStringLiteral("毕业前的最后一个夏天，四个朋友骑车去看海。一个关于友情与告别的故事。"),
         {{QStringLiteral("高清"), kPlayerKind}}, 1},
        {QStringLiteral("小行星 B612"), false, 2020, false,
         QStringLiteral("离开玫瑰之后，小王子在另一颗星球上开始了新的旅程。"),
         {{QStringLiteral("网页"), kWebKind}}, 1},
    };

    // Clips are listed first and then made two at a time: the VP8 encoder
    // uses one core, so this halves the wait on a two-core machine.
    std::vector<ClipSpec> jobs;
    int pattern = 0;
    auto clip = [&](const QString &file, const QString &h1, const QString &h2, ClipFormat f) {
        ClipSpec spec;
        spec.output = (media / file.toStdString()).string();
        spec.heading = h1;
        spec.subheading = h2;
        spec.seconds = o.clipSeconds;
        spec.size = o.size;
        spec.format = f;
        spec.pattern = pattern;
        spec.toneHz = 330 + 55 * int(jobs.size() % 8);
        spec.fast = o.fast;
        jobs.push_back(spec);
    };

    QList<Title> made;
    for (int i = 0; i < titles.size(); ++i) {
        const DemoTitle &d = titles.at(i);
        const QString dir = QStringLiteral("demo/t%1").arg(i + 1);
        fs::create_directories(media / dir.toStdString(), ec);
        Title t;
        t.name = d.name;
        t.series = d.series;
        t.year = d.year;
        t.featured = d.featured;
        t.description = d.description;
        for (int s = 0; s < d.sources.size(); ++s) {
            Source src{d.sources[s].first, {}};
            const bool web = d.sources[s].second != kPlayerKind;
            for (int e = 0; e < d.episodes; ++e) {
                const QString epName = d.series ? QStringLiteral("第%1集").arg(e + 1) : QStringLiteral("正片");
                const QString file = dir + QStringLiteral("/s%1e%2.%3").arg(s).arg(e + 1, 2, 10, QLatin1Char('0'))
                                               .arg(web ? QStringLiteral("webm") : QStringLiteral("mp4"));
                const QString h2 = (d.series ? epName + QStringLiteral(" · ") : QString()) + src.name +
                                   (web ? QStringLiteral(" · WebM") : QStringLiteral(" · MP4"));
                clip(file, d.name, h2, web ? ClipFormat::WebM : ClipFormat::Mp4);
                src.episodes.append(Episode{epName, file, d.sources[s].second});
            }
            t.sources.append(src);
        }
        ++pattern;
        made.append(t);
    }
    const QStringList channelNames = {QStringLiteral("Vantoli 综合"), QStringLiteral("Vantoli 电影"),
                                      QStringLiteral("Vantoli 少儿")};
    QList<Channel> channels;
    for (int c = 0; c < channelNames.size(); ++c) {
        const QString file = QStringLiteral("demo/channel%1.webm").arg(c + 1);
        clip(file, channelNames[c], QStringLiteral("直播频道 %1").arg(c + 1), ClipFormat::WebM);
        ++pattern;
        channels.append({0, channelNames[c], file, QStringLiteral("演示频道，循环播放")});
    }

    std::atomic<size_t> next{0};
    std::atomic<int> finished{0};
    std::mutex failMutex;
    std::string failed;
    auto worker = [&] {
        for (size_t j = next++; j < jobs.size(); j = next++) {
            const bool ok = makeClip(jobs[j]);
            std::lock_guard lock(failMutex);
            if (!ok && failed.empty())
                failed = jobs[j].output;
            if (progress)
                progress("[" + std::to_string(++finished) + "/" + std::to_string(jobs.size()) + "] " +
                         fs::path(jobs[j].output).lexically_relative(media).string());
        }
    };
    std::thread second(worker);
    worker();
    second.join();
    if (!failed.empty())
        return "ffmpeg could not make " + failed;

    for (int i = 0; i < made.size(); ++i) {
        Title &t = made[i];
        const QString poster = QStringLiteral("posters/t%1.jpg").arg(i + 1);
        if (grabPoster((media / t.sources.first().episodes.first().address.toStdString()).string(),
                       (media / poster.toStdString()).string(), std::min(2.0, o.clipSeconds / 2.0)))
            t.poster = poster;
        if (store.addTitle(t) == 0)
            return "cannot store " + t.name.toStdString() + ": " + store.error();
    }
    for (const Channel &c : channels)
        if (store.addChannel(c) == 0)
            return "cannot store a channel: " + store.error();

    // Control files: no newer release and every switch off; two notices in
    // each notice file, for operators who switch them on.
    const QString base = QString::fromStdString(o.publicBase);
    writeFile(data / "lib" / "wen.txt", QStringLiteral("0====0====0====0====0====1.0"));
    writeFile(data / "lib" / "tan.txt",
              QStringLiteral("30||1||0||%1notice/1.htm$$$%1notice/3.htm").arg(base));
    writeFile(data / "lib" / "gun.txt",
              QStringLiteral("欢迎使用 Vantoli 影视，本片库为演示内容||%1$$$"
                             "新剧《星河旅人》全集上线，高清与网页双片源||%1v/1.htm$$$")
                  .arg(base));

    owned.reset(); // closes the file before it is moved
    fs::rename(fs::path(catalogPath(tmpDir)), fs::path(catalogPath(o.dataDir)), ec);
    if (ec)
        return "cannot move the catalog into place: " + ec.message();
    fs::remove_all(tmpDir, ec);
    return makeTorrents(o.dataDir, progress, nullptr);
}

bool naturalLess(const QString &a, const QString &b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a[ei].isDigit())
                ++ei;
            while (ej < b.size() && b[ej].isDigit())
                ++ej;
            // Compare by value: strip leading zeros, then length, then digits.
            QStringView da = QStringView(a).mid(i, ei - i), db = QStringView(b).mid(j, ej - j);
            while (da.size() > 1 && da.front() == u'0')
                da = da.mid(1);
            while (db.size() > 1 && db.front() == u'0')
                db = db.mid(1);
            if (da.size() != db.size())
                return da.size() < db.size();
            if (const int c = da.compare(db); c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        const QChar ca = a[i].toLower(), cb = b[j].toLower();
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

bool isMediaFileName(const QString &name) {
    static const QStringList exts = {QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mkv"),
                                     QStringLiteral("webm"), QStringLiteral("avi"), QStringLiteral("mov"),
                                     QStringLiteral("flv"), QStringLiteral("ts"), QStringLiteral("mpg"),
                                     QStringLiteral("mpeg"), QStringLiteral("ogv"), QStringLiteral("wmv"),
                                     QStringLiteral("rmvb")};
    if (name.startsWith(u'.'))
        return false;
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 && exts.contains(name.mid(dot + 1).toLower());
}

namespace {

// A file or folder name usable as one media path segment.
QString segmentName(QString name) {
    for (QChar &c : name)
        if (c.unicode() < 0x20 || c == u'\\' || c == u'/' || c.unicode() == 0x7f)
            c = u'_';
    if (name.isEmpty() || name == u"." || name == u"..")
        name = QStringLiteral("_");
    return name;
}

// Places a file into the data folder without copying when the file system
// allows a hard link.
bool placeFile(const fs::path &from, const fs::path &to) {
    std::error_code ec;
    fs::remove(to, ec);
    fs::create_hard_link(from, to, ec);
    if (!ec)
        return true;
    ec.clear();
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    return !ec;
}

QList<fs::path> mediaFilesIn(const fs::path &dir) {
    QList<fs::path> files;
    std::error_code ec;
    for (const fs::directory_entry &e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file(ec) && isMediaFileName(qs(e.path().filename())))
            files.append(e.path());
    std::sort(files.begin(), files.end(), [](const fs::path &a, const fs::path &b) {
        return naturalLess(qs(a.filename()), qs(b.filename()));
    });
    return files;
}

} // namespace

std::string importMedia(const ImportOptions &o, const Progress &progress, int *count) {
    if (count)
        *count = 0;
    std::error_code ec;
    const fs::path folder = fs::absolute(o.mediaFolder, ec);
    if (ec || !fs::is_directory(folder, ec))
        return o.mediaFolder + " is not a folder";
    if (!isValidKind(o.kind))
        return "the kind must be a plain word";
    const fs::path media = fs::path(o.dataDir) / "media";
    fs::create_directories(media / "import", ec);
    fs::create_directories(media / "posters", ec);
    CatalogStore store;
    if (!store.open(o.dataDir, true))
        return "cannot open the catalog: " + store.error();

    // Films first (files directly in the folder), then one series per folder.
    struct Group {
        QString name;
        bool series;
        QList<fs::path> files;
    };
    QList<Group> groups;
    for (const fs::path &f : mediaFilesIn(folder))
        groups.append({qs(f.stem()), false, {f}});
    QList<fs::path> dirs;
    for (auto it = fs::recursive_directory_iterator(
             folder, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !qs(it->path().filename()).startsWith(u'.'))
            dirs.append(it->path());
        else if (it->is_directory(ec))
            it.disable_recursion_pending();
    }
    std::sort(dirs.begin(), dirs.end(), [](const fs::path &a, const fs::path &b) {
        return naturalLess(qs(a), qs(b));
    });
    for (const fs::path &d : dirs) {
        const QList<fs::path> files = mediaFilesIn(d);
        if (!files.isEmpty())
            groups.append({qs(d.filename()), true, files});
    }
    if (groups.isEmpty())
        return "no media files in " + o.mediaFolder;

    for (const Group &g : groups) {
        // A fresh folder per title keeps repeated imports apart.
        QString slug = segmentName(g.name);
        QString dir;
        for (int n = 1;; ++n) {
            dir = QStringLiteral("import/") + slug + (n > 1 ? QStringLiteral("-%1").arg(n) : QString());
            if (!fs::exists(media / dir.toStdString(), ec))
                break;
        }
        fs::create_directories(media / dir.toStdString(), ec);
        Title t;
        t.name = g.name;
        t.series = g.series;
        Source src{QStringLiteral("本地"), {}};
        for (const fs::path &f : g.files) {
            const QString rel = dir + u'/' + segmentName(qs(f.filename()));
            if (!placeFile(f, media / rel.toStdString()))
                return "cannot place " + f.string() + " into " + media.string();
            src.episodes.append(Episode{qs(f.stem()), rel, o.kind});
        }
        t.sources.append(src);
        const QString poster = QStringLiteral("posters/import-") + dir.mid(7) + QStringLiteral(".jpg");
        if (grabPoster((media / src.episodes.first().address.toStdString()).string(),
                       (media / poster.toStdString()).string(), 5.0))
            t.poster = poster;
        if (store.addTitle(t) == 0)
            return "cannot store " + t.name.toStdString() + ": " + store.error();
        if (count)
            ++*count;
        if (progress)
            progress((g.series ? "series " : "film ") + g.name.toStdString() + " (" +
                     std::to_string(src.episodes.size()) + (g.series ? " episodes)" : " file)"));
    }
    // The new files' torrents; the others are kept as they are.
    return makeTorrents(o.dataDir, nullptr, nullptr);
}

} // namespace vantoli::server
