#include "pages.h"

#include "web_text.h"

#include "catalog/escape.h"
#include "catalog/links.h"

#include <QRegularExpression>

namespace vantoli::server {
namespace {

// Shared dark look, close to the program's own panes.
const char *kStyle = R"css(
*{box-sizing:border-box}
html,body{margin:0;padding:0;background:#1c1c1c;color:#e6e6e6;
 font:13px/1.5 "Noto Sans CJK SC","Microsoft YaHei",sans-serif}
a{color:#e6e6e6;text-decoration:none}
a:hover{color:#ffb347}
.top{display:flex;align-items:center;gap:20px;padding:10px 20px;background:#262626;
 border-bottom:2px solid #c0392b}
.brand{font-size:18px;font-weight:bold;color:#ffb347}
.top nav a{margin-right:14px;color:#bbb}
main{padding:12px 20px 30px}
h2{font-size:16px;margin:18px 0 10px;padding-left:8px;border-left:4px solid #c0392b}
.grid{display:flex;flex-wrap:wrap;gap:14px}
.card{display:flex;gap:12px;width:440px;background:#262626;border-radius:6px;padding:10px}
.poster{flex:none;width:120px;height:90px;border-radius:4px;overflow:hidden;background:#333;
 display:flex;align-items:center;justify-content:center;font-size:36px;color:#777}
.poster img{width:100%;height:100%;object-fit:cover}
.info{flex:1;min-width:0}
.name{font-size:15px;font-weight:bold}
.meta{color:#999;font-size:12px;margin:2px 0 6px}
.eps{display:flex;flex-wrap:wrap;gap:5px}
.ep{display:inline-block;min-width:34px;padding:1px 8px;text-align:center;background:#333;
 border:1px solid #444;border-radius:3px;color:#ddd;font-size:12px}
.ep:hover{background:#c0392b;border-color:#c0392b;color:#fff}
.play{display:inline-block;padding:3px 16px;background:#c0392b;border-radius:3px;color:#fff}
.play:hover{background:#e74c3c;color:#fff}
.detail{display:flex;gap:20px;align-items:flex-start}
.detail .poster{width:320px;height:240px;font-size:80px}
.src{margin:14px 0 6px;font-weight:bold}
.kind{font-weight:normal;color:#999;font-size:12px;margin-left:6px}
.empty{color:#888;padding:20px 0}
)css";

QString page(const QString &title, const QString &body, const QString &extraStyle = {}) {
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                          "<title>") +
           html(title) + QStringLiteral("</title><style>") + QString::fromUtf8(kStyle) +
           extraStyle + QStringLiteral("</style></head>\n<body>\n") + body +
           QStringLiteral("\n</body></html>\n");
}

QString topBar(const QString &base) {
    return QStringLiteral("<div class=\"top\"><a class=\"brand\" href=\"%1\">Vantoli 影视</a><nav>"
                          "<a href=\"%1#series\">电视剧</a><a href=\"%1#films\">电影</a>"
                          "<a href=\"%1tv/list.htm\">电视直播</a></nav></div>\n")
        .arg(html(base));
}

QString detailUrl(const QString &base, const Title &t) {
    return base + QStringLiteral("v/%1.htm").arg(t.id);
}

QString posterBox(const QString &base, const Title &t, const QString &href) {
    QString inner;
    if (!t.poster.isEmpty())
        inner = QStringLiteral("<img src=\"%1\" alt=\"\">").arg(html(mediaUrl(base, t.poster)));
    else
        inner = html(t.name.left(1));
    return QStringLiteral("<a class=\"poster\" href=\"%1\">%2</a>").arg(html(href), inner);
}

QString byNumber(const Title &t, int source, int episode) {
    return buildByNumberLink(t.id, source, episode, linkTitle(t.name));
}

int episodeCount(const Title &t) {
    return t.sources.isEmpty() ? 0 : int(t.sources.first().episodes.size());
}

QString metaLine(const Title &t) {
    QStringList parts;
    if (t.year > 0)
        parts << QString::number(t.year);
    parts << (t.series ? QStringLiteral("共%1集").arg(episodeCount(t)) : QStringLiteral("电影"));
    if (t.sources.size() > 1)
        parts << QStringLiteral("%1个播放源").arg(t.sources.size());
    return parts.join(QStringLiteral(" · "));
}

// Episode buttons of one source as by-number links.
QString episodeButtons(const Title &t, int source) {
    QString out = QStringLiteral("<div class=\"eps\">");
    const QList<Episode> &eps = t.sources.at(source).episodes;
    for (int e = 0; e < eps.size(); ++e)
        out += QStringLiteral("<a class=\"ep\" href=\"%1\" title=\"%2\">%3</a>")
                   .arg(html(byNumber(t, source, e)), html(eps.at(e).name),
                        t.series ? QString::number(e + 1) : html(eps.at(e).name));
    return out + QStringLiteral("</div>");
}

QString card(const Title &t, const QString &base) {
    const QString href = detailUrl(base, t);
    QString out = QStringLiteral("<div class=\"card\">") + posterBox(base, t, href) +
                  QStringLiteral("<div class=\"info\"><a class=\"name\" href=\"%1\">%2</a>"
                                 "<div class=\"meta\">%3</div>")
                      .arg(html(href), html(t.name), html(metaLine(t)));
    if (t.sources.isEmpty() || t.sources.first().episodes.isEmpty())
        out += QStringLiteral("<div class=\"empty\">暂无片源</div>");
    else if (t.series)
        out += episodeButtons(t, 0);
    else
        out += QStringLiteral("<a class=\"play\" href=\"%1\">▶ 立即播放</a>").arg(html(byNumber(t, 0, 0)));
    return out + QStringLiteral("</div></div>\n");
}

// Featured titles for the promotion pages: those marked, else the first ones.
QList<const Title *> featured(const Catalog &c, int max) {
    QList<const Title *> out;
    for (const Title &t : c.titles)
        if (t.featured && !t.sources.isEmpty() && !t.sources.first().episodes.isEmpty() && out.size() < max)
            out << &t;
    for (const Title &t : c.titles)
        if (out.size() < max && !out.contains(&t) && !t.sources.isEmpty() &&
            !t.sources.first().episodes.isEmpty())
            out << &t;
    return out;
}

QString kindLabel(const QString &kind) {
    return kind == kPlayerKind ? QStringLiteral("播放器") : QStringLiteral("网页播放");
}

} // namespace

QString fieldText(const QString &name) {
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || u == 0x2028 || u == 0x2029 ||
            QStringView(u"$#&|%;\"'\\<>").contains(c))
            return escapeText(name);
    }
    return name;
}

QString episodeData(const Title &title, const QString &base) {
    QStringList sources;
    for (const Source &s : title.sources) {
        QStringList eps;
        for (const Episode &e : s.episodes)
            eps << fieldText(e.name) + u'$' + mediaUrl(base, e.address) + u'$' + e.kind;
        sources << fieldText(s.name) + QStringLiteral("$$") + eps.join(u'#');
    }
    return sources.join(QStringLiteral("$$$"));
}

static bool isIndex(const QString &s) {
    static const QRegularExpression re(QStringLiteral("^[0-9]{1,9}$"));
    return re.match(s).hasMatch();
}

QString episodeLookup(const Catalog &catalog, const QString &base, const QString &id,
                      const QString &source, const QString &episode) {
    if (!isIndex(id) || !isIndex(source) || !isIndex(episode))
        return QStringLiteral("1");
    const Episode *e = catalog.findEpisode(id.toInt(), source.toInt(), episode.toInt());
    if (!e)
        return QStringLiteral("1");
    return formatEpisodeLookupReply({fieldText(e->name), mediaUrl(base, e->address), e->kind});
}

QString homePage(const Catalog &catalog, const QString &base) {
    QString series, films;
    for (const Title &t : catalog.titles)
        (t.series ? series : films) += card(t, base);
    QString body = topBar(base) + QStringLiteral("<main>");
    body += QStringLiteral("<h2 id=\"series\">电视剧</h2><div class=\"grid\">") +
            (series.isEmpty() ? QStringLiteral("<div class=\"empty\">暂无电视剧</div>") : series) +
            QStringLiteral("</div>");
    body += QStringLiteral("<h2 id=\"films\">电影</h2><div class=\"grid\">") +
            (films.isEmpty() ? QStringLiteral("<div class=\"empty\">暂无电影</div>") : films) +
            QStringLiteral("</div>");
    body += QStringLiteral("</main>");
    return page(QStringLiteral("Vantoli 影视"), body);
}

QString titlePage(const Title &t, const QString &base) {
    QString body = topBar(base) + QStringLiteral("<main><div class=\"detail\">") +
                   posterBox(base, t, detailUrl(base, t)) +
                   QStringLiteral("<div class=\"info\"><h1>%1</h1><div class=\"meta\">%2</div><p>%3</p>")
                       .arg(html(t.name), html(metaLine(t)), html(t.description));
    for (int s = 0; s < t.sources.size(); ++s) {
        const Source &src = t.sources.at(s);
        const QString kind = src.episodes.isEmpty() ? QString() : src.episodes.first().kind;
        body += QStringLiteral("<div class=\"src\">%1<span class=\"kind\">%2</span></div>")
                    .arg(html(src.name), html(kindLabel(kind)));
        body += episodeButtons(t, s);
    }
    if (t.sources.isEmpty())
        body += QStringLiteral("<div class=\"empty\">暂无片源</div>");
    body += QStringLiteral("</div></div></main>\n");
    // The program reads the episode data from this exact statement.
    body += QStringLiteral("<script>var VideoInfoList=\"") + episodeData(t, base) +
            QStringLiteral("\";</script>");
    return page(t.name, body);
}

QString episodeListPage(const QString &pageTemplate, const Catalog &catalog,
                        const QString &query, const QString &base, bool *found) {
    const PageParameters p = parsePageParameters(query);
    const Title *t = isIndex(p.videoId) ? catalog.findTitle(p.videoId.toInt()) : nullptr;
    if (found)
        *found = t != nullptr;
    const QString data = t ? episodeData(*t, base) : QString();
    QString out = pageTemplate;
    return out.replace(QStringLiteral("[ly]"), u'"' + data + u'"');
}

QString playPage(const QString &query, bool *ok) {
    const qsizetype sep = query.indexOf(QStringLiteral("$$$"));
    const QString kind = sep < 0 ? QString() : query.left(sep);
    const QString address = sep < 0 ? QString() : unescapeText(query.mid(sep + 3));
    *ok = isAbsoluteHttpUrl(address) && !address.contains(u'\n') && !address.contains(u'\r');
    if (!*ok)
        return page(QStringLiteral("无法播放"),
                    QStringLiteral("<main><h2>无法播放</h2><p class=\"empty\">播放地址无效。</p></main>"));
    // When the video ends, the page goes to the end-of-play placeholder,
    // resolved against this page's own address so it matches the base the
    // program used.
    const QString body =
        QStringLiteral("<video id=\"v\" src=\"%1\" controls autoplay playsinline></video>\n"
                       "<div id=\"msg\"></div>\n"
                       "<script>\n"
                       "var v=document.getElementById('v');\n"
                       "v.addEventListener('ended',function(){location.href='play-ended.htm';});\n"
                       "v.addEventListener('error',function(){document.getElementById('msg').textContent="
                       "'\\u65e0\\u6cd5\\u64ad\\u653e\\u6b64\\u89c6\\u9891';});\n"
                       "var p=v.play();\n"
                       "if(p&&p.catch)p.catch(function(){v.muted=true;v.play();});\n"
                       "</script>")
            .arg(html(address));
    const QString style = QStringLiteral(
        "html,body{height:100%;background:#000;overflow:hidden}"
        "video{width:100%;height:100%;display:block;background:#000}"
        "#msg{position:absolute;top:45%;width:100%;text-align:center;color:#aaa}");
    return page(QStringLiteral("播放 ") + kind, body, style);
}

QString playEndedPage() {
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title></title>"
                          "</head><body style=\"background:#000\"></body></html>\n");
}

static QString channelQuery(const Channel &c) {
    return QStringLiteral("ch%1").arg(c.id);
}

QString tvListPage(const Catalog &catalog, const QString &base) {
    QString body = QStringLiteral("<div class=\"tvh\">电视直播</div><ul class=\"tv\">");
    for (const Channel &c : catalog.channels)
        body += QStringLiteral("<li><a href=\"%1\" title=\"%2\"><span class=\"dot\">●</span>%3</a></li>")
                    .arg(html(buildTvLink(channelQuery(c))), html(c.description), html(c.name));
    if (catalog.channels.isEmpty())
        body += QStringLiteral("<li class=\"empty\">暂无频道</li>");
    body += QStringLiteral("</ul>");
    const QString style = QStringLiteral(
        ".tvh{padding:6px 10px;background:#2a2929;font-weight:bold}"
        ".tv{list-style:none;margin:0;padding:0}"
        ".tv li a{display:block;padding:0 10px;height:26px;line-height:26px;border-bottom:1px solid #262626}"
        ".tv li a:hover{background:#312d26}.dot{color:#c0392b;margin-right:6px;font-size:10px}");
    Q_UNUSED(base);
    return page(QStringLiteral("电视直播"), body, style);
}

QString tvIdlePage(const Catalog &catalog, const QString &base) {
    Q_UNUSED(base);
    const QString body = QStringLiteral(
        "<div class=\"idle\"><div class=\"big\">TV</div><div>电视直播</div>"
        "<div class=\"hint\">从频道列表中选择一个频道（共 %1 个）</div></div>")
                             .arg(catalog.channels.size());
    const QString style = QStringLiteral(
        "html,body{height:100%;background:#111}"
        ".idle{display:flex;flex-direction:column;align-items:center;justify-content:center;height:100%;"
        "color:#888;font-size:16px}.big{font:bold 22px sans-serif;color:#666;border:3px solid #555;"
        "border-radius:10px;padding:10px 18px;margin-bottom:10px}.hint{font-size:12px;margin-top:6px}");
    return page(QStringLiteral("电视直播"), body, style);
}

const Channel *channelForQuery(const Catalog &catalog, const QString &query) {
    static const QRegularExpression re(QStringLiteral("^(?:ch=?)?([0-9]{1,9})/?$"));
    const QRegularExpressionMatch m = re.match(query);
    return m.hasMatch() ? catalog.findChannel(m.captured(1).toInt()) : nullptr;
}

QString channelPage(const Channel &c, const QString &base) {
    const QString body =
        QStringLiteral("<video id=\"v\" src=\"%1\" autoplay loop playsinline></video>"
                       "<div class=\"logo\">%2</div>\n"
                       "<script>var v=document.getElementById('v');var p=v.play();"
                       "if(p&&p.catch)p.catch(function(){v.muted=true;v.play();});</script>")
            .arg(html(mediaUrl(base, c.address)), html(c.name));
    const QString style = QStringLiteral(
        "html,body{height:100%;background:#000;overflow:hidden}"
        "video{width:100%;height:100%;display:block}"
        ".logo{position:absolute;top:8px;right:12px;padding:2px 8px;background:rgba(0,0,0,.5);"
        "border-radius:3px;color:#fff;font-size:12px}");
    return page(c.name, body, style);
}

QString stripAdPage(const Catalog &catalog, const QString &base) {
    const QList<const Title *> list = featured(catalog, 5);
    QString slides;
    for (const Title *t : list) {
        const QString thumb = t->poster.isEmpty()
            ? QString()
            : QStringLiteral("<img src=\"%1\" alt=\"\">").arg(html(mediaUrl(base, t->poster)));
        slides += QStringLiteral("<a class=\"slide\" href=\"%1\">%2<span class=\"t\">%3</span>"
                                 "<span class=\"d\">%4</span><span class=\"go\">立即观看</span></a>")
                      .arg(html(byNumber(*t, 0, 0)), thumb, html(t->name), html(metaLine(*t)));
    }
    if (slides.isEmpty())
        slides = QStringLiteral("<span class=\"slide on\"><span class=\"t\">Vantoli 影视</span></span>");
    const QString body = QStringLiteral("<div class=\"strip\">") + slides + QStringLiteral(
        "</div><script>var s=document.querySelectorAll('.slide'),i=0;"
        "function show(){for(var k=0;k<s.length;k++)s[k].className=k==i?'slide on':'slide';}"
        "show();if(s.length>1)setInterval(function(){i=(i+1)%s.length;show();},6000);</script>");
    const QString style = QStringLiteral(
        "html,body{width:468px;height:60px;overflow:hidden;background:#1c1c1c}"
        ".strip{width:468px;height:60px;border:1px solid #333;background:linear-gradient(90deg,#2b1a18,#1c1c1c)}"
        ".slide{display:none;align-items:center;gap:10px;height:58px;padding:0 10px}"
        ".slide.on{display:flex}.slide img{width:70px;height:48px;object-fit:cover;border-radius:3px}"
        ".t{font-size:15px;font-weight:bold;color:#ffb347}.d{flex:1;color:#999;font-size:12px}"
        ".go{padding:2px 10px;background:#c0392b;border-radius:3px;color:#fff}");
    return page(QStringLiteral("推荐"), body, style);
}

QString highlightsPage(const Catalog &catalog, const QString &base) {
    QString body = QStringLiteral("<div class=\"hh\">精彩推荐</div><ul class=\"hl\">");
    int rank = 1;
    for (const Title *t : featured(catalog, 10))
        body += QStringLiteral("<li><span class=\"n%1\">%1</span><a href=\"%2\" title=\"%3\">%4</a>"
                               "<span class=\"m\">%5</span></li>")
                    .arg(rank++)
                    .arg(html(byNumber(*t, 0, 0)), html(t->description), html(t->name),
                         html(t->series ? QStringLiteral("%1集").arg(episodeCount(*t))
                                        : QStringLiteral("电影")));
    body += QStringLiteral("</ul>");
    const QString style = QStringLiteral(
        ".hh{padding:6px 10px;background:#2a2929;font-weight:bold;color:#ffb347}"
        ".hl{list-style:none;margin:0;padding:4px 6px}"
        ".hl li{display:flex;gap:8px;height:26px;line-height:26px;border-bottom:1px dashed #2e2e2e}"
        ".hl li a{flex:1;overflow:hidden;white-space:nowrap;text-overflow:ellipsis}"
        ".hl li span:first-child{width:18px;text-align:center;background:#444;color:#fff;border-radius:2px;"
        "height:18px;line-height:18px;margin-top:4px;font-size:11px}"
        ".hl .n1,.hl .n2,.hl .n3{background:#c0392b!important}.m{color:#888;font-size:12px}");
    return page(QStringLiteral("精彩推荐"), body, style);
}

QString pausePanelPage(const Catalog &catalog, const QString &base) {
    const QList<const Title *> list = featured(catalog, 1);
    QString body;
    if (list.isEmpty()) {
        body = QStringLiteral("<div class=\"pp\"><div class=\"txt\"><div class=\"t\">已暂停</div></div></div>");
    } else {
        const Title &t = *list.first();
        body = QStringLiteral("<div class=\"pp\">") +
               (t.poster.isEmpty() ? QString()
                                   : QStringLiteral("<img src=\"%1\" alt=\"\">").arg(html(mediaUrl(base, t.poster)))) +
               QStringLiteral("<div class=\"txt\"><div class=\"lab\">暂停中 · 为你推荐</div><div class=\"t\">%1</div>"
                              "<div class=\"d\">%2</div><a class=\"play\" href=\"%3\">▶ 立即观看</a></div></div>")
                   .arg(html(t.name), html(t.description), html(byNumber(t, 0, 0)));
    }
    const QString style = QStringLiteral(
        "html,body{width:450px;height:260px;overflow:hidden;background:#1c1c1c}"
        ".pp{display:flex;gap:14px;width:450px;height:260px;padding:16px;border:1px solid #333;"
        "background:linear-gradient(160deg,#2b1a18,#1c1c1c 60%)}"
        ".pp img{width:200px;height:150px;object-fit:cover;border-radius:4px;align-self:center}"
        ".txt{flex:1;display:flex;flex-direction:column;justify-content:center;gap:8px}"
        ".lab{color:#999;font-size:12px}.t{font-size:18px;font-weight:bold;color:#ffb347}"
        ".d{color:#bbb;font-size:12px;max-height:72px;overflow:hidden}.play{align-self:flex-start}");
    return page(QStringLiteral("暂停"), body, style);
}

QString recommendationPage(const Catalog &catalog, const QString &base) {
    QString body = QStringLiteral("<div class=\"rh\">感谢使用 Vantoli · 下次再见</div><div class=\"rg\">");
    for (const Title *t : featured(catalog, 4))
        body += QStringLiteral("<a class=\"ri\" href=\"%1\" target=\"_blank\">%2<span>%3</span></a>")
                    .arg(html(detailUrl(base, *t)),
                         t->poster.isEmpty() ? QString()
                                             : QStringLiteral("<img src=\"%1\" alt=\"\">")
                                                   .arg(html(mediaUrl(base, t->poster))),
                         html(t->name));
    body += QStringLiteral("</div>");
    const QString style = QStringLiteral(
        "html,body{overflow:hidden}.rh{padding:8px 12px;background:#2a2929;font-weight:bold;color:#ffb347}"
        ".rg{display:flex;flex-wrap:wrap;gap:10px;padding:10px}"
        ".ri{width:150px;text-align:center}.ri img{width:150px;height:100px;object-fit:cover;border-radius:4px;"
        "display:block;margin-bottom:4px}");
    return page(QStringLiteral("推荐"), body, style);
}

QString noticePage(const Title &t, const QString &base) {
    const QString body =
        QStringLiteral("<div class=\"nt\"><div class=\"lab\">新片上线</div>") +
        (t.poster.isEmpty() ? QString()
                            : QStringLiteral("<img src=\"%1\" alt=\"\">").arg(html(mediaUrl(base, t.poster)))) +
        QStringLiteral("<div class=\"t\">%1</div><div class=\"d\">%2</div>"
                       "<a href=\"%3\" target=\"_blank\">查看详情 »</a></div>")
            .arg(html(t.name), html(t.description), html(detailUrl(base, t)));
    const QString style = QStringLiteral(
        "html,body{width:300px;overflow:hidden}.nt{width:300px;padding:10px 12px;border:1px solid #333}"
        ".lab{color:#c0392b;font-weight:bold}.nt img{width:276px;height:150px;object-fit:cover;border-radius:4px;"
        "margin:6px 0}.t{font-size:15px;font-weight:bold;color:#ffb347}.d{color:#aaa;font-size:12px}");
    return page(t.name, body, style);
}

QString errorPage(int status, const QString &message, const QString &base) {
    return page(QString::number(status),
                topBar(base) + QStringLiteral("<main><h2>%1</h2><p class=\"empty\">%2</p>"
                                              "<p><a class=\"play\" href=\"%3\">返回首页</a></p></main>")
                                   .arg(status)
                                   .arg(html(message), html(base)));
}

} // namespace vantoli::server
