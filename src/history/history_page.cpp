#include "history/history_page.h"

#include "app/text_util.h"
#include "catalog/escape.h"

namespace vantoli {
namespace {

constexpr int kRowNameWidth = 24;

const QString kHead = QStringLiteral(
    "<html><head><title></title><style type=\"text/css\">*{margin:0;padding:0;border:0px;}"
    "body{overflow:auto;background:#212121;}html{scrollbar-face-color:#2A2929;"
    "scrollbar-highlight-color:#353434;scrollbar-shadow-color:#000000;"
    "scrollbar-3dlight-color:#000000;scrollbar-arrow-color:#515151;"
    "scrollbar-track-color:#1F1D1C;scrollbar-darkshadow-color:#201F1E;}"
    "a:link,a:visited,a:active,a:hover{color:#DBDBDB;text-decoration:none;display:block}"
    "td{padding-left:3px;height:25px;line-height:25px;font-size:12px;"
    "border-bottom:1px solid #161616;color:#DBDBDB;}"
    "td img{width:11px;height:11px;margin-top:2px;}</style></head>"
    "<body oncontextmenu=\"return false\" ondragstart=\"return false\">"
    "<table id=\"v1\" width=\"99%\" cellpadding=\"0\" cellspacing=\"0\" border=\"0\"><vod></table>"
    "<div style='dispaly:none' id='vd'></div>");

const QStringList kScript = {
    QStringLiteral("<script type=\"text/javascript\">"),
    QStringLiteral("var obj=document.getElementById(\"v1\");"),
    QStringLiteral("var obj1=document.getElementById(\"vd\");"),
    QStringLiteral("for(var i=0;i<obj.rows.length;i++){"),
    QStringLiteral("obj.rows[i].onmouseover=function(){obj1.style.background=this.style.backgroundColor;"
                   "this.style.background='#312D26';this.cells[1].style.display ='block';"
                   "this.cells[2].style.display = 'none';}"),
    QStringLiteral("obj.rows[i].onmouseout=function(){this.style.background=obj1.style.background;"
                   "this.cells[1].style.display = 'none';this.cells[2].style.display = 'block';}}"),
    QStringLiteral("</script></body></html>"),
};

const QString kEmptyRow = QStringLiteral("<tr><td colspan=2 align=center>暂无记录</td></tr>");

bool isHtmlBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// What an unquoted attribute takes of the name: its first word (blanks before
// it skipped). The rest is left out rather than written, so no later word
// becomes an attribute of the link (a "hidden", a second "href").
QString tooltipValue(const QString &name) {
    qsizetype from = 0;
    while (from < name.size() && isHtmlBlank(name.at(from)))
        ++from;
    qsizetype to = from;
    while (to < name.size() && !isHtmlBlank(name.at(to)))
        ++to;
    return to > from ? htmlEscape(name.mid(from, to - from)) : QStringLiteral("\"\"");
}

QString row(qsizetype n, const QString &fullName, const QString &shortName) {
    const QString num = QString::number(n);
    return QStringLiteral("<tr><td align=left width=95%><a title=") + tooltipValue(fullName) +
           QStringLiteral(" href=open://") + num + QStringLiteral(">·") + htmlEscape(shortName) +
           QStringLiteral("</a></td><td width=4% style='display:none'><a href=delk://") + num +
           QStringLiteral("><img src=\"i.gif\" alt=\"删除\"></a></td><td>&nbsp;</td></tr>");
}

} // namespace

QString renderHistoryPageText(const QStringList &lines, HistoryList list) {
    const qsizetype nameField = list == HistoryList::LocalPlays ? 0 : 1;
    QString rows;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (!line.contains(u'|'))
            continue;
        const QStringList f = line.split(u'|');
        const QString name = nameField < f.size() ? unescapeText(f.at(nameField)) : QString();
        const QString shortName = truncateToWidth(name, kRowNameWidth);
        if (shortName.isEmpty())
            continue;
        rows += row(i + 1, name, shortName);
    }
    if (rows.isEmpty())
        rows = kEmptyRow;
    QString page = kHead;
    for (const QString &l : kScript) {
        page += l;
        page += u"\r\n";
    }
    page.replace(QStringLiteral("<vod>"), rows);
    return page;
}

} // namespace vantoli
