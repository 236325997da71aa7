#include "history/history_page.h"

#include "platform/ansi_codec.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vantoli;

namespace {

const QString kHead = QStringLiteral(
    "<html><head><title></title><style type=\"text/css\">*{margin:0;padding:0;border:0px;}body{overflow:auto;background:#212121;}html{scrollbar-face-color:#2A2929;scrollbar-highlight-color:#353434;scrollbar-shadow-color:#000000;scrollbar-3dlight-color:#000000;scrollbar-arrow-color:#515151;scrollbar-track-color:#1F1D1C;scrollbar-darkshadow-color:#201F1E;}a:link,a:visited,a:active,a:hover{color:#DBDBDB;text-decoration:none;display:block}td{padding-left:3px;height:25px;line-height:25px;font-size:12px;border-bottom:1px solid #161616;color:#DBDBDB;}td img{width:11px;height:11px;margin-top:2px;}</style></head><body oncontextmenu=\"return false\" ondragstart=\"return false\"><table id=\"v1\" width=\"99%\" cellpadding=\"0\" cellspacing=\"0\" border=\"0\">");
const QString kTail = QStringLiteral(
    "</table><div style='dispaly:none' id='vd'></div><script type=\"text/javascript\">\r\n"
    "var obj=document.getElementById(\"v1\");\r\n"
    "var obj1=document.getElementById(\"vd\");\r\n"
    "for(var i=0;i<obj.rows.length;i++){\r\n"
    "obj.rows[i].onmouseover=function(){obj1.style.background=this.style.backgroundColor;this.style.background='#312D26';this.cells[1].style.display ='block';this.cells[2].style.display = 'none';}\r\n"
    "obj.rows[i].onmouseout=function(){this.style.background=obj1.style.background;this.cells[1].style.display = 'none';this.cells[2].style.display = 'block';}}\r\n"
    "</script></body></html>\r\n");

QString row(int n, const QString &title, const QString &text) {
    return QStringLiteral("<tr><td align=left width=95%><a title=%1 href=open://%2>·%3</a></td>"
                          "<td width=4% style='display:none'><a href=delk://%2><img src=\"i.gif\" alt=\"删除\"></a></td>"
                          "<td>&nbsp;</td></tr>")
        .arg(title, QString::number(n), text);
}

} // namespace

TEST(HistoryPage, EmptyListsShowTheNoRecordsRow) {
    const QString expected = kHead + QStringLiteral("<tr><td colspan=2 align=center>暂无记录</td></tr>") + kTail;
    EXPECT_EQ(renderHistoryPageText({}, HistoryList::NetworkTasks), expected);
    EXPECT_EQ(renderHistoryPageText({QString()}, HistoryList::LocalPlays), expected);
    // Entries whose name is empty produce no row either.
    EXPECT_EQ(renderHistoryPageText({QStringLiteral("1||e|a|0|0|0")}, HistoryList::NetworkTasks), expected);
}

TEST(HistoryPage, RowsAreNumberedOverAllLines) {
    const QStringList lines = {QStringLiteral("no bar"), QStringLiteral("12|%u4E2D%u6587 %u7247|e|a|0|0|0"),
                               QString(), QStringLiteral("5|title|e|a|0|0|0")};
    EXPECT_EQ(renderHistoryPageText(lines, HistoryList::NetworkTasks),
              kHead + row(2, QStringLiteral("中文"), QStringLiteral("中文 片")) +
                  row(4, QStringLiteral("title"), QStringLiteral("title")) + kTail);
}

TEST(HistoryPage, LocalListShowsTheFileNameAndLongNamesAreCut) {
    const QString longName = QStringLiteral("一二三四五六七八九十甲乙丙丁");
    EXPECT_EQ(renderHistoryPageText({longName + QStringLiteral("|/m/x.mkv|0")}, HistoryList::LocalPlays),
              kHead + row(1, longName, QStringLiteral("一二三四五六七八九十甲乙")) + kTail);
}

TEST(HistoryPage, HostileTitlesCannotInjectMarkup) {
    const QString hostile = QStringLiteral("<script>alert(1)</script> x onmouseover=alert(2) \"q\"&");
    const QString page = renderHistoryPageText({QStringLiteral("1|") + hostile + QStringLiteral("|e|a|0|0|0")},
                                               HistoryList::NetworkTasks);
    EXPECT_FALSE(page.contains(QStringLiteral("<script>alert")));
    EXPECT_FALSE(page.contains(QStringLiteral("onmouseover=alert")));
    EXPECT_TRUE(page.contains(QStringLiteral("<a title=&lt;script&gt;alert(1)&lt;/script&gt; href=open://1>")));
    // Still exactly one row, one open and one delete link.
    EXPECT_EQ(page.count(QStringLiteral("href=open://")), 1);
    EXPECT_EQ(page.count(QStringLiteral("<tr>")), 1);

    // The tooltip is the first word; later words do not become attributes
    // that hide the row or take the link's place.
    const QString words = renderHistoryPageText({QStringLiteral("1|%20Spider-Man%20hidden%20href%09style|e|a|0|0|0"),
                                                 QStringLiteral("2|%20|e|a|0|0|0")},
                                                HistoryList::NetworkTasks);
    EXPECT_TRUE(words.contains(QStringLiteral("<a title=Spider-Man href=open://1>"))) << words.toStdString();
    EXPECT_TRUE(words.contains(QStringLiteral("<a title=\"\" href=open://2>")));
    EXPECT_TRUE(words.contains(QStringLiteral("href=open://1>· Spider-Man hidden")));
}

TEST(HistoryPage, IsWrittenInGbkWithAFinalLineEnd) {
    QTemporaryDir dir;
    QFile f(dir.filePath("date.dat"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("1|%u4E2D|e|a|0|0|0\r\n");
    f.close();
    HistoryStore store(dir.path());
    ASSERT_TRUE(store.renderHistoryPage("date.dat"));
    QFile page(dir.filePath("c.htm"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QByteArray bytes = page.readAll();
    EXPECT_TRUE(bytes.contains("\xA1\xA4\xD6\xD0</a>")); // "·中" in GBK
    EXPECT_TRUE(bytes.endsWith("</html>\r\n\r\n"));
    EXPECT_FALSE(bytes.contains("charset"));
}
