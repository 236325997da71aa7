// What a start from outside may ask for: the three catalog schemes act,
// files and network addresses play, every other scheme (the history ones
// above all, and the player's own protocols) does nothing.

#include "desktop/outside_link.h"

#include <gtest/gtest.h>

namespace vantoli {
namespace {

struct Case {
    const char *given;
    OutsideRequest request;
    const char *text;
};

TEST(OutsideLink, TakesOnlyCatalogSchemesAndFiles) {
    const Case cases[] = {
        {"kxbovod://12-0-3-%u4E2D-ab/", OutsideRequest::CatalogLink, "kxbovod://12-0-3-%u4E2D-ab/"},
        {"KXBOVOD://12-0-3-ab", OutsideRequest::CatalogLink, "kxbovod://12-0-3-ab"},
        {"kxpeer://peer&&&a&&&b&&&c&&&1&&&0&&&0", OutsideRequest::CatalogLink, "kxpeer://peer&&&a&&&b&&&c&&&1&&&0&&&0"},
        {"kxtvs://ch=1/", OutsideRequest::TvLink, "kxtvs://ch=1/"},
        // History links name lines of the user's files: never from outside.
        {"open://1", OutsideRequest::Refused, ""},
        {"delk://1/", OutsideRequest::Refused, ""},
        {"OPEN://1", OutsideRequest::Refused, ""},
        {"http://127.0.0.1/x.mp4", OutsideRequest::LocalItem, "http://127.0.0.1/x.mp4"},
        // The player's own protocols never come from outside.
        {"av://lavfi:sine,ametadata=mode=print:file=/tmp/x", OutsideRequest::Refused, ""},
        {"fd://0", OutsideRequest::Refused, ""},
        {"javascript:alert(1)", OutsideRequest::Refused, ""},
        {"kxbovod:12-0-3-ab", OutsideRequest::Refused, ""},
        {"kxbovodx://12-0-3-ab", OutsideRequest::Refused, ""},
        // A link that only mentions a catalog scheme further on is no catalog link.
        {"open://kxbovod://1-0-0-a", OutsideRequest::Refused, ""},
        {"/home/u/a b.mp4", OutsideRequest::LocalItem, "/home/u/a b.mp4"},
        {"\"/home/u/quoted.mp4\"/", OutsideRequest::LocalItem, "\"/home/u/quoted.mp4\"/"},
        {"movie.mp4", OutsideRequest::LocalItem, "movie.mp4"},
        {"file:///tmp/a%20b.mp4", OutsideRequest::LocalItem, "/tmp/a b.mp4"},
        {"file://remote-host/x.mp4", OutsideRequest::Refused, ""},
        {"file:///tmp/a.mp4?x=1", OutsideRequest::Refused, ""},
        {"", OutsideRequest::Nothing, ""},
        {"   ", OutsideRequest::Nothing, ""},
    };
    for (const Case &c : cases) {
        const OutsideCommand got = classifyOutsideCommand(QString::fromUtf8(c.given));
        EXPECT_EQ(got.request, c.request) << c.given;
        EXPECT_EQ(got.text.toStdString(), c.text) << c.given;
    }
}

} // namespace
} // namespace vantoli

namespace vantoli {
namespace {

TEST(OutsideLink, TheRemoteControlGetsCatalogLinksAndNetworkAddressesButNoFiles) {
    const Case cases[] = {
        {"kxpeer://peer&&&a&&&b&&&c&&&1&&&0&&&0", OutsideRequest::CatalogLink, "kxpeer://peer&&&a&&&b&&&c&&&1&&&0&&&0"},
        {"https://127.0.0.1/x.mp4", OutsideRequest::LocalItem, "https://127.0.0.1/x.mp4"},
        {"file:///home/u/a.mp4", OutsideRequest::Refused, ""},
        {"/home/u/a.mp4", OutsideRequest::Refused, ""},
        {"av://lavfi:testsrc", OutsideRequest::Refused, ""},
    };
    for (const Case &c : cases) {
        const OutsideCommand got = classifyOutsideCommand(QString::fromUtf8(c.given), AddressOrigin::Remote);
        EXPECT_EQ(got.request, c.request) << c.given;
        EXPECT_EQ(got.text.toStdString(), c.text) << c.given;
    }
}

} // namespace
} // namespace vantoli
