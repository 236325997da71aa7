// The demo and import commands: catalog contents and real, playable media.

#include "catalog.h"
#include "catalog_builder.h"
#include "media_tools.h"
#include "torrents.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

using namespace vantoli::server;
namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Catalog loadCatalog(const std::string &dir) {
    CatalogStore store;
    EXPECT_TRUE(store.open(dir, false));
    return store.load().value_or(Catalog{});
}

} // namespace

TEST(Demo, CreatesTheCatalogWithPlayableMedia) {
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString() + "/data";
    DemoOptions o;
    o.dataDir = dir;
    o.clipSeconds = 1;
    o.size = QStringLiteral("160x120");
    o.fast = true;
    ASSERT_EQ(createDemo(o, nullptr), "");

    const Catalog c = loadCatalog(dir);
    int series = 0, films = 0, twoSources = 0;
    for (const Title &t : c.titles) {
        (t.series ? series : films)++;
        twoSources += t.sources.size() >= 2;
        EXPECT_FALSE(t.poster.isEmpty()) << t.name.toStdString();
        EXPECT_TRUE(fs::file_size(dir + "/media/" + t.poster.toStdString()) > 0);
        for (const Source &s : t.sources) {
            if (t.series) {
                EXPECT_GE(s.episodes.size(), 4);
            }
            for (const Episode &e : s.episodes) {
                const std::string bytes = readFile(dir + "/media/" + e.address.toStdString());
                ASSERT_GT(bytes.size(), 64u) << e.address.toStdString();
                if (e.kind == kPlayerKind) {
                    // H.264 MP4 with its index before the media data.
                    EXPECT_EQ(bytes.substr(4, 4), "ftyp");
                    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
                    EXPECT_NE(bytes.find("avc1"), std::string::npos);
                } else {
                    EXPECT_EQ(bytes.substr(0, 4), "\x1a\x45\xdf\xa3"); // Matroska/WebM
                    EXPECT_NE(bytes.find("webm"), std::string::npos);
                    EXPECT_NE(bytes.find("V_VP8"), std::string::npos);
                }
            }
        }
    }
    EXPECT_GE(series, 2);
    EXPECT_GE(films, 2);
    EXPECT_GE(twoSources, 1);
    EXPECT_GE(c.channels.size(), 3);
    // A current torrent for each player episode's file.
    QSet<QString> playerFiles;
    for (const Title &t : c.titles)
        for (const Source &s : t.sources)
            for (const Episode &e : s.episodes)
                if (e.kind == kPlayerKind)
                    playerFiles.insert(e.address);
    const QHash<QString, QString> peers = currentPeerAddresses(dir);
    EXPECT_EQ(QSet<QString>(peers.keyBegin(), peers.keyEnd()), playerFiles);

    // Control files: no newer release, switches off, two notices each.
    EXPECT_EQ(readFile(dir + "/lib/wen.txt"), "0====0====0====0====0====1.0");
    const std::string tan = readFile(dir + "/lib/tan.txt");
    EXPECT_EQ(QString::fromStdString(tan).split("||").size(), 4);
    EXPECT_EQ(QString::fromStdString(tan).split("||").last().split("$$$").size(), 2);
    EXPECT_EQ(QString::fromStdString(readFile(dir + "/lib/gun.txt")).count("||"), 2);

    // A second run leaves an existing catalog alone.
    EXPECT_NE(createDemo(o, nullptr), "");
    EXPECT_EQ(loadCatalog(dir).titles.size(), c.titles.size());
}

TEST(Import, FilesBecomeFilmsAndFoldersSeries) {
    QTemporaryDir tmp;
    const std::string src = tmp.path().toStdString() + "/videos";
    const std::string data = tmp.path().toStdString() + "/data";
    fs::create_directories(src + "/My Show");
    fs::create_directories(src + "/.hidden");
    ClipSpec clip;
    clip.output = src + "/Film One.mp4";
    clip.seconds = 1;
    clip.size = QStringLiteral("160x120");
    clip.fast = true;
    ASSERT_TRUE(makeClip(clip));
    for (const char *name : {"Ep 10.mkv", "Ep 2.mkv", "Ep 1.mkv", "notes.txt"})
        std::ofstream(src + "/My Show/" + name) << name;
    std::ofstream(src + "/.hidden/x.mp4") << "x";

    int count = 0;
    ASSERT_EQ(importMedia({data, src, QStringLiteral("peer")}, nullptr, &count), "");
    EXPECT_EQ(count, 2);
    const Catalog c = loadCatalog(data);
    ASSERT_EQ(c.titles.size(), 2);
    const Title &film = c.titles[0];
    EXPECT_EQ(film.name, QStringLiteral("Film One"));
    EXPECT_FALSE(film.series);
    EXPECT_FALSE(film.poster.isEmpty()); // grabbed from the clip
    const Title &show = c.titles[1];
    EXPECT_EQ(show.name, QStringLiteral("My Show"));
    EXPECT_TRUE(show.series);
    EXPECT_TRUE(show.poster.isEmpty()); // not a real video: no frame to grab
    ASSERT_EQ(show.sources.size(), 1);
    QStringList names;
    for (const Episode &e : show.sources[0].episodes) {
        names << e.name;
        EXPECT_EQ(readFile(data + "/media/" + e.address.toStdString()), e.name.toStdString() + ".mkv");
    }
    EXPECT_EQ(names, (QStringList{"Ep 1", "Ep 2", "Ep 10"}));
    EXPECT_EQ(listTorrents(data).size(), 4u); // every imported file

    // Importing again adds new titles in folders of their own.
    ASSERT_EQ(importMedia({data, src, QStringLiteral("peer")}, nullptr, &count), "");
    const Catalog again = loadCatalog(data);
    ASSERT_EQ(again.titles.size(), 4);
    EXPECT_NE(again.titles[2].sources[0].episodes[0].address, film.sources[0].episodes[0].address);

    EXPECT_NE(importMedia({data, src + "/none", QStringLiteral("peer")}, nullptr, &count), "");
    EXPECT_NE(importMedia({data, src, QStringLiteral("bad kind")}, nullptr, &count), "");
}

TEST(Import, NaturalOrder) {
    EXPECT_TRUE(naturalLess("a2", "a10"));
    EXPECT_TRUE(naturalLess("a02", "a3"));
    EXPECT_FALSE(naturalLess("a10", "a9"));
    EXPECT_TRUE(naturalLess("Ep 1", "ep 2"));
    EXPECT_TRUE(naturalLess("x", "x1"));
    EXPECT_FALSE(naturalLess("b", "a"));
    EXPECT_TRUE(isMediaFileName("a.MP4"));
    EXPECT_FALSE(isMediaFileName(".a.mp4"));
    EXPECT_FALSE(isMediaFileName("a.txt"));
    EXPECT_FALSE(isMediaFileName("mp4"));
}

TEST(CommandLine, RefusesBadArgumentsAndMissingCatalogs) {
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    const std::string bin = VANTOLI_SERVER_BINARY;
    EXPECT_EQ(runProgram({bin}), 2);
    EXPECT_EQ(runProgram({bin, "serve"}), 2);
    EXPECT_EQ(runProgram({bin, "serve", "--data", dir, "--port", "x"}), 2);
    EXPECT_EQ(runProgram({bin, "serve", "--data", dir, "--public-base", "javascript:x"}), 2);
    EXPECT_EQ(runProgram({bin, "frobnicate", "--data", dir}), 2);
    EXPECT_EQ(runProgram({bin, "import", "--data", dir}), 2);
    // No catalog yet: serve says so instead of serving an empty site.
    EXPECT_EQ(runProgram({bin, "serve", "--data", dir, "--port", "0"}), 1);
    EXPECT_EQ(runProgram({bin, "--help"}), 0);
}

TEST(CommandLine, RefusesACatalogOfAnOlderLayout) {
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString();
    const std::string bin = VANTOLI_SERVER_BINARY;
    {
        // A catalog written before its layout carried a version: same tables,
        // user_version 0, rows of the earlier naming.
        CatalogStore store;
        ASSERT_TRUE(store.open(dir, true));
        Title t;
        t.name = QStringLiteral("Old");
        t.sources = {Source{QStringLiteral("s"), {Episode{QStringLiteral("e"), QStringLiteral("a.mp4")}}}};
        ASSERT_GT(store.addTitle(t), 0);
        Database db;
        ASSERT_TRUE(db.open(catalogPath(dir), Database::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("PRAGMA user_version=0;"));
    }
    CatalogStore reader;
    EXPECT_FALSE(reader.openForReading(dir));
    EXPECT_NE(reader.error().find("older build"), std::string::npos);
    CatalogStore writer;
    EXPECT_FALSE(writer.open(dir, true)) << "import must not add new rows beside old ones";
    EXPECT_EQ(runProgram({bin, "check", "--data", dir}), 1);
    EXPECT_EQ(runProgram({bin, "serve", "--data", dir, "--port", "0"}), 1);

    const std::string fresh = dir + "/fresh";
    fs::create_directories(fresh);
    ASSERT_TRUE(CatalogStore().open(fresh, true));
    EXPECT_EQ(runProgram({bin, "check", "--data", fresh}), 0);
}
