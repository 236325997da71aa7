// DangJ with a fake catalog pane and window: the bytes of t.htm and where the
// episode list pane goes.

#include "catalog/episode_list.h"

#include "support/fake_playback_view.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:8260/");

class FakeCatalogBody : public CatalogBodyReader {
public:
    QString body;
    bool answerLater = false;
    std::function<void(const QString &)> pending;
    void readCatalogBody(std::function<void(const QString &)> done) override {
        if (answerLater)
            pending = std::move(done);
        else
            done(body);
    }
};

class EpisodeListTest : public ::testing::Test {
protected:
    QByteArray localPage() const {
        QFile f(list.localPagePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static QByteArray gb18030(const QString &text) {
        auto encoder = QStringEncoder("GB18030");
        return encoder.encode(text);
    }

    QTemporaryDir dir;
    FakeCatalogBody catalog;
    FakePlaybackView view;
    EpisodeList list{catalog, view, dir.path(), kBase};
};

const QString kData = QStringLiteral("\"%u9AD8%u6E05$$%u7B2C1%u96C6$http://h/1.mp4$peer#"
                                     "第2集$http://h/2.mp4$peer\"");

} // namespace

TEST_F(EpisodeListTest, CatalogDataIsWrittenIntoTheLocalPage) {
    catalog.body = QStringLiteral("<div>剧集</div><script>var VideoInfoList=") + kData +
                   QStringLiteral(";var other=1;</script>");
    list.DangJ(QStringLiteral("%u4E2D%u6587"), 12, 1, 3);

    const QString tmpl = episodeListPageTemplate();
    ASSERT_TRUE(tmpl.contains(QStringLiteral("var VideoInfoList=[ly];")));
    EXPECT_FALSE(tmpl.contains(QStringLiteral("\n\n")));
    EXPECT_EQ(tmpl.count(u'\n'), tmpl.count(QStringLiteral("\r\n")));
    QString expected = tmpl;
    expected.replace(QStringLiteral("[ly]"), kData);
    const QByteArray bytes = localPage();
    EXPECT_EQ(bytes, gb18030(expected) + "\r\n");
    // Chinese names are GBK bytes, and the page ends with exactly one line end.
    EXPECT_TRUE(bytes.contains("#\xB5\xDA" "2\xBC\xAF$"));
    EXPECT_TRUE(bytes.endsWith("</html>\r\n"));

    EXPECT_EQ(view.log, QStringList{QStringLiteral("navigate 5 ") + dir.path() +
                                    QStringLiteral("/t.htm?12-1-3-%u4E2D%u6587-0")});
}

TEST_F(EpisodeListTest, WithoutUsableDataTheServersPageOpens) {
    const QString server = QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?7-0-2-%u4E2D-0");
    const QString bodies[] = {
        QString(),                                                     // unreadable or empty body
        QStringLiteral("<p>a film without episodes</p>"),              // no marker
        QStringLiteral("<script>var VideoInfoList=\"a$$b$c$peer\""),   // marker without ";"
        QStringLiteral("var VideoInfoList=fetch('file:///etc/passwd');"), // script, not data
        QStringLiteral("var VideoInfoList=\"a\"+alert(1);"),
        QStringLiteral("var VideoInfoList=\"a\\101\";"),        // an old octal escape
        QStringLiteral("var VideoInfoList=\"unclosed;\";"), // cut inside the literal
        QStringLiteral("var VideoInfoList=;"),
    };
    for (const QString &body : bodies) {
        view.log.clear();
        catalog.body = body;
        list.DangJ(QStringLiteral("%u4E2D"), 7, 0, 2);
        EXPECT_EQ(view.log, QStringList{server}) << body.toStdString();
    }
    EXPECT_FALSE(QFile::exists(list.localPagePath()));
}

TEST_F(EpisodeListTest, StringExpressionsAreWrittenAsOneLiteralOfTheSameValue) {
    EXPECT_EQ(episodeDataExpression(QStringLiteral("var VideoInfoList=\"\";")), QStringLiteral("\"\""));
    EXPECT_EQ(episodeDataExpression(QStringLiteral("x var VideoInfoList= 'a$$b' + \"#c\\\"d\" ; y;")),
              QStringLiteral("\"a$$b#c\\\"d\""));
    EXPECT_EQ(episodeDataExpression(QStringLiteral("var VideoInfoList='\\x41\\u4E2D\\u{1F600}\\'\\n\\\r\nz';")),
              QStringLiteral("\"A中\U0001F600'\\u000az\""));
    EXPECT_EQ(episodeDataExpression(QStringLiteral("var VideoInfoList=\"a\"+;")), QString());
    EXPECT_EQ(episodeDataExpression(QStringLiteral("var VideoInfoList=\"a\" \"b\";")), QString());
    EXPECT_EQ(episodeDataExpression(QStringLiteral("var VideoInfoList=\"\\u12\";")), QString());
}

TEST_F(EpisodeListTest, DataThatWouldEndTheScriptIsWrittenEscaped) {
    // A name that closes t.htm's script element, opens a comment or ends a
    // line: the page gets the same text, in a literal that does none of that.
    catalog.body = QStringLiteral("var VideoInfoList=\"s$$</script><script>alert(1)</script><!--\\u2028&$http://h/1$peer\";");
    list.DangJ(QStringLiteral("x"), 1, 0, 0);
    const QByteArray page = localPage();
    EXPECT_EQ(page.count("</script>"), 1) << page.toStdString();
    EXPECT_FALSE(page.contains("<!--"));
    EXPECT_TRUE(page.contains("var VideoInfoList=\"s$$\\u003c/script\\u003e\\u003cscript\\u003ealert(1)"
                              "\\u003c/script\\u003e\\u003c!--\\u2028\\u0026$http://h/1$peer\";"));
    EXPECT_EQ(view.log, QStringList{QStringLiteral("navigate 5 ") + dir.path() + QStringLiteral("/t.htm?1-0-0-x-0")});
}

TEST_F(EpisodeListTest, TitleIsPassedOnAsWritten) {
    // A title that unescapes to a lone surrogate, and one with a raw "%":
    // the parameters keep them exactly.
    catalog.body = QStringLiteral("var VideoInfoList=\"s$$e$http://h/1$peer\";");
    list.DangJ(QStringLiteral("%uDC3C%u4E2D%"), 3, 0, 0);
    EXPECT_EQ(view.log, QStringList{QStringLiteral("navigate 5 ") + dir.path() +
                                    QStringLiteral("/t.htm?3-0-0-%uDC3C%u4E2D%-0")});
    catalog.body.clear();
    view.log.clear();
    list.DangJ(QStringLiteral("%u4E2D"), 3, 0, 0);
    EXPECT_EQ(view.log, QStringList{QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?3-0-0-%u4E2D-0")});
}

TEST_F(EpisodeListTest, ALocalPageThatCannotBeWrittenLeavesTheServersPage) {
    // t.htm is a folder: the write fails, and an old page must not be shown.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("t.htm")));
    catalog.body = QStringLiteral("var VideoInfoList=\"s$$e$http://h/1$peer\";");
    list.DangJ(QStringLiteral("x"), 1, 0, 0);
    EXPECT_EQ(view.log, QStringList{QStringLiteral("navigate 5 ") + kBase + QStringLiteral("pp.htm?1-0-0-x-0")});
}

TEST_F(EpisodeListTest, AnswerAfterTheListIsGoneIsDropped) {
    catalog.answerLater = true;
    catalog.body = QStringLiteral("var VideoInfoList=\"s$$e$http://h/1$peer\";");
    {
        FakePlaybackView other;
        EpisodeList gone(catalog, other, dir.path(), kBase);
        gone.DangJ(QStringLiteral("x"), 1, 0, 0);
    }
    ASSERT_TRUE(catalog.pending);
    catalog.pending(catalog.body);
    EXPECT_FALSE(QFile::exists(list.localPagePath()));

    // A live one acts when the answer comes.
    list.DangJ(QStringLiteral("x"), 1, 0, 0);
    EXPECT_TRUE(view.log.isEmpty());
    catalog.pending(catalog.body);
    EXPECT_EQ(view.log.size(), 1);
    EXPECT_TRUE(QFile::exists(list.localPagePath()));
}
