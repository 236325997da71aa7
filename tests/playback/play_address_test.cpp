#include "playback/play_address.h"

#include "platform/file_name.h"

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

PlayAddress remote(const char *text) { return checkPlayAddress(QString::fromUtf8(text), AddressOrigin::Remote); }
PlayAddress user(const char *text) { return checkPlayAddress(QString::fromUtf8(text), AddressOrigin::User); }

const char kPeer[] = "peer://7340032|0123456789abcdef0123456789ABCDEF01234567|第1集.mp4|";

} // namespace

TEST(PlayAddress, NetworkAddressesAndThePeerFormPassFromAnywhereUnchanged) {
    // A catalog's address may hold blanks and "%u" escapes the server reads as written.
    for (const char *a : {"http://127.0.0.1:8260/media/a.mp4", "HTTPS://h.example/v?x=1&y=%u4E2D", "http://h/第 4 集.mp4",
                          kPeer}) {
        for (const PlayAddress &p : {remote(a), user(a)}) {
            EXPECT_TRUE(p.accepted()) << a;
            EXPECT_FALSE(p.isLocalFile()) << a;
            EXPECT_EQ(p.address, QString::fromUtf8(a));
        }
    }
    EXPECT_EQ(remote(kPeer).kind, PlayAddress::Peer);
    EXPECT_EQ(remote("http://h/a.mp4").kind, PlayAddress::Web);
}

TEST(PlayAddress, TheEnginesOwnProtocolsAndLocalFilesAreRefusedFromPagesAndLinks) {
    for (const char *a : {
             "av://lavfi:sine,ametadata=mode=print:file=/home/u/.bashrc",
             "lavfi://anullsrc", "fd://0", "edl://a.mp4,0,1", "memory://x", "file:///etc/passwd",
             "/home/u/Videos/a.mp4", "a.mp4", "-", "udp://127.0.0.1:9", "rtmp://h/a", "ftp://h/a.mp4",
             "data:video/mp4;base64,AAAA", "http:/a.mp4", "http://", "http:///a.mp4",
             "http://h/a\n.mp4", "ytdl://x", "peer://1|abc|n|",
             "peer://1|0123456789abcdef0123456789abcdef01234567|n", "peer://x|0123456789abcdef0123456789abcdef01234567|n|",
             "crypto+file:///etc/passwd", "hls+http://h/a.m3u8", "",
         }) {
        EXPECT_FALSE(remote(a).accepted()) << a;
    }
}

TEST(PlayAddress, TheUsersOwnChoiceMayAlsoNameALocalFileByAbsolutePath) {
    EXPECT_EQ(user("/home/u/a\"b.mp4").address, QStringLiteral("/home/u/a\"b.mp4"));
    EXPECT_TRUE(user("/home/u/a.mp4").isLocalFile());
    EXPECT_EQ(user("file:///home/u/a%20b.mp4").address, QStringLiteral("/home/u/a b.mp4"));
    EXPECT_EQ(user("file://localhost/tmp/x.mp4").address, QStringLiteral("/tmp/x.mp4"));
    // A file manager's URL keeps a name's bytes that are not UTF-8.
    EXPECT_EQ(fileNameBytes(user("file:///tmp/%E9t%E9%20%C3%A9.mp4").address), QByteArray("/tmp/\xE9t\xE9 \xC3\xA9.mp4"));
    // Not even the user's own action gets the engine's protocols, another
    // machine's file or a path the player would read against its own folder.
    for (const char *a : {"av://lavfi:testsrc", "file://other/x.mp4", "a.mp4", "-", "C:\\Media\\a.mp4",
                          "edl:///tmp/a.mp4", "/tmp/a\r.mp4", "file:///tmp/a.mp4?x"}) {
        EXPECT_FALSE(user(a).accepted()) << a;
    }
}
