#include "catalog.h"

#include <sqlite3.h>

#include <QRegularExpression>

namespace vantoli::server {

const Title *Catalog::findTitle(int id) const {
    for (const Title &t : titles)
        if (t.id == id)
            return &t;
    return nullptr;
}

const Channel *Catalog::findChannel(int id) const {
    for (const Channel &c : channels)
        if (c.id == id)
            return &c;
    return nullptr;
}

const Episode *Catalog::findEpisode(int id, int source, int episode) const {
    const Title *t = findTitle(id);
    if (!t || source < 0 || source >= t->sources.size())
        return nullptr;
    const QList<Episode> &eps = t->sources.at(source).episodes;
    if (episode < 0 || episode >= eps.size())
        return nullptr;
    return &eps.at(episode);
}

bool isValidKind(const QString &kind) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_]{1,32}$"));
    return re.match(kind).hasMatch();
}

bool isValidMediaPath(const QString &path) {
    if (path.isEmpty() || path.size() > 1024 || path.startsWith(u'/') || path.contains(u'\\'))
        return false;
    for (const QChar c : path)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    for (const QString &seg : path.split(u'/'))
        if (seg.isEmpty() || seg == u"." || seg == u"..")
            return false;
    return true;
}

bool isAbsoluteHttpUrl(const QString &address) {
    return (address.startsWith(u"http://") || address.startsWith(u"https://")) &&
           address.size() <= 2048;
}

static bool isValidAddress(const QString &address) {
    return isAbsoluteHttpUrl(address) || isValidMediaPath(address);
}

Database::~Database() {
    if (db_)
        sqlite3_close(db_);
}

bool Database::open(const std::string &path, Mode mode) {
    int flags = SQLITE_OPEN_FULLMUTEX;
    if (mode == Mode::ReadOnly)
        flags |= SQLITE_OPEN_READONLY;
    else
        flags |= SQLITE_OPEN_READWRITE | (mode == Mode::Create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        error_ = db_ ? sqlite3_errmsg(db_) : "cannot open database";
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    return true;
}

bool Database::exec(const char *sql) {
    char *msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        error_ = msg ? msg : "SQL error";
        sqlite3_free(msg);
        return false;
    }
    return true;
}

namespace {

// A prepared statement that binds texts as UTF-8 and finalizes itself.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    ~Statement() { sqlite3_finalize(st_); }
    bool ok() const { return st_ != nullptr; }
    Statement &bind(int i, const QString &v) {
        const QByteArray u = v.toUtf8();
        sqlite3_bind_text(st_, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement &bind(int i, qint64 v) {
        sqlite3_bind_int64(st_, i, v);
        return *this;
    }
    int step() { return st_ ? sqlite3_step(st_) : SQLITE_ERROR; }
    QString text(int col) const {
        const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(st_, col));
        return p ? QString::fromUtf8(p, sqlite3_column_bytes(st_, col)) : QString();
    }
    qint64 integer(int col) const { return sqlite3_column_int64(st_, col); }

private:
    sqlite3_stmt *st_ = nullptr;
};

const char *kSchema = R"(
CREATE TABLE IF NOT EXISTS titles(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL, series INTEGER NOT NULL,
  description TEXT NOT NULL DEFAULT '', poster TEXT NOT NULL DEFAULT '',
  year INTEGER NOT NULL DEFAULT 0, featured INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS sources(
  title_id INTEGER NOT NULL REFERENCES titles(id) ON DELETE CASCADE,
  idx INTEGER NOT NULL, name TEXT NOT NULL, PRIMARY KEY(title_id, idx));
CREATE TABLE IF NOT EXISTS episodes(
  title_id INTEGER NOT NULL, source_idx INTEGER NOT NULL, idx INTEGER NOT NULL,
  name TEXT NOT NULL, address TEXT NOT NULL, kind TEXT NOT NULL,
  PRIMARY KEY(title_id, source_idx, idx),
  FOREIGN KEY(title_id, source_idx) REFERENCES sources(title_id, idx) ON DELETE CASCADE);
CREATE TABLE IF NOT EXISTS channels(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL, address TEXT NOT NULL,
  description TEXT NOT NULL DEFAULT '');
)";


} // namespace

std::string catalogPath(const std::string &dataDir) {
    return dataDir + "/catalog.db";
}

bool CatalogStore::open(const std::string &dataDir, bool create) {
    if (!db_.open(catalogPath(dataDir), create ? Database::Mode::Create : Database::Mode::ReadWrite))
        return false;
    if (!db_.exec("PRAGMA foreign_keys=ON;"))
        return false;
    if (create && isEmptyDatabase())
        return db_.exec(kSchema) &&
               db_.exec(("PRAGMA user_version=" + std::to_string(kCatalogSchemaVersion)).c_str());
    return checkSchemaVersion();
}

bool CatalogStore::openForReading(const std::string &dataDir) {
    return db_.open(catalogPath(dataDir), Database::Mode::ReadOnly) && checkSchemaVersion();
}

bool CatalogStore::isEmptyDatabase() {
    Statement st(db_.handle(), "SELECT count(*) FROM sqlite_master");
    return st.step() == SQLITE_ROW && st.integer(0) == 0;
}

bool CatalogStore::checkSchemaVersion() {
    Statement st(db_.handle(), "PRAGMA user_version");
    const qint64 version = st.step() == SQLITE_ROW ? st.integer(0) : -1;
    if (version == kCatalogSchemaVersion)
        return true;
    db_.setError(version < kCatalogSchemaVersion
                     ? "the catalog was made by an older build and its links are outdated; make it "
                       "again in a new data folder (demo or import)"
                     : "the catalog was made by a newer build");
    return false;
}

std::optional<Catalog> CatalogStore::load() {
    sqlite3 *db = db_.handle();
    if (!db)
        return std::nullopt;
    Catalog c;
    Statement ts(db, "SELECT id, name, series, description, poster, year, featured FROM titles "
                     "ORDER BY id");
    if (!ts.ok())
        return std::nullopt;
    while (ts.step() == SQLITE_ROW) {
        Title t;
        t.id = int(ts.integer(0));
        t.name = ts.text(1);
        t.series = ts.integer(2) != 0;
        t.description = ts.text(3);
        t.poster = ts.text(4);
        t.year = int(ts.integer(5));
        t.featured = ts.integer(6) != 0;
        c.titles.append(t);
    }
    for (Title &t : c.titles) {
        // Sources and episodes are kept dense: index i is the i-th row.
        Statement ss(db, "SELECT idx, name FROM sources WHERE title_id=? ORDER BY idx");
        ss.bind(1, t.id);
        while (ss.step() == SQLITE_ROW)
            t.sources.append(Source{ss.text(1), {}});
        for (int s = 0; s < t.sources.size(); ++s) {
            Statement es(db, "SELECT name, address, kind FROM episodes "
                             "WHERE title_id=? AND source_idx=? ORDER BY idx");
            es.bind(1, t.id).bind(2, s);
            while (es.step() == SQLITE_ROW)
                t.sources[s].episodes.append(Episode{es.text(0), es.text(1), es.text(2)});
        }
    }
    Statement cs(db, "SELECT id, name, address, description FROM channels ORDER BY id");
    if (!cs.ok())
        return std::nullopt;
    while (cs.step() == SQLITE_ROW)
        c.channels.append(Channel{int(cs.integer(0)), cs.text(1), cs.text(2), cs.text(3)});
    return c;
}

int CatalogStore::addTitle(const Title &title) {
    sqlite3 *db = db_.handle();
    if (!db || title.name.trimmed().isEmpty())
        return 0;
    for (const Source &s : title.sources)
        for (const Episode &e : s.episodes)
            if (!isValidKind(e.kind) || !isValidAddress(e.address))
                return 0;
    if (!title.poster.isEmpty() && !isValidMediaPath(title.poster))
        return 0;
    if (!db_.exec("BEGIN"))
        return 0;
    bool ok = true;
    Statement ti(db, "INSERT INTO titles(name, series, description, poster, year, featured) "
                     "VALUES(?,?,?,?,?,?)");
    ti.bind(1, title.name.trimmed())
        .bind(2, title.series ? 1 : 0)
        .bind(3, title.description)
        .bind(4, title.poster)
        .bind(5, title.year)
        .bind(6, title.featured ? 1 : 0);
    ok = ti.step() == SQLITE_DONE;
    const int id = int(sqlite3_last_insert_rowid(db));
    for (int s = 0; ok && s < title.sources.size(); ++s) {
        Statement si(db, "INSERT INTO sources(title_id, idx, name) VALUES(?,?,?)");
        si.bind(1, id).bind(2, s).bind(3, title.sources[s].name);
        ok = si.step() == SQLITE_DONE;
        const QList<Episode> &eps = title.sources[s].episodes;
        for (int e = 0; ok && e < eps.size(); ++e) {
            Statement ei(db, "INSERT INTO episodes(title_id, source_idx, idx, name, address, kind) "
                             "VALUES(?,?,?,?,?,?)");
            ei.bind(1, id).bind(2, s).bind(3, e).bind(4, eps[e].name).bind(5, eps[e].address)
                .bind(6, eps[e].kind);
            ok = ei.step() == SQLITE_DONE;
        }
    }
    if (!ok) {
        db_.exec("ROLLBACK");
        return 0;
    }
    return db_.exec("COMMIT") ? id : 0;
}

int CatalogStore::addChannel(const Channel &channel) {
    sqlite3 *db = db_.handle();
    if (!db || channel.name.trimmed().isEmpty() || !isValidAddress(channel.address))
        return 0;
    Statement ci(db, "INSERT INTO channels(name, address, description) VALUES(?,?,?)");
    ci.bind(1, channel.name.trimmed()).bind(2, channel.address).bind(3, channel.description);
    return ci.step() == SQLITE_DONE ? int(sqlite3_last_insert_rowid(db)) : 0;
}

} // namespace vantoli::server
