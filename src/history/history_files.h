#pragma once
// The two play histories: date.dat (network tasks) and date_f.dat (local
// plays), newest entry first, fields separated by "|". Each operation reads
// the whole file and writes it anew.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace vantoli {

enum class HistoryList { NetworkTasks, LocalPlays };

inline const QString kNetworkHistoryFile = QStringLiteral("date.dat");
inline const QString kLocalHistoryFile = QStringLiteral("date_f.dat");
inline const QString kNetworkHistoryPage = QStringLiteral("c.htm");
inline const QString kLocalHistoryPage = QStringLiteral("f.htm");

// "date_f.dat" names the local-play list; any other name the network tasks.
HistoryList historyListForFile(const QString &fileName);
QString historyFileName(HistoryList list);
QString historyPageName(HistoryList list);

// The pure line transformations behind the operations; each returns the new
// file text.
namespace history_text {

// Whole-text decimal integer, nullopt otherwise.
std::optional<qint64> parseNumber(const QString &text);

// New line first, then up to 100 old lines that have a "|" and are not the
// same entry, then a final CR LF.
QString withNewEntry(const QStringList &oldLines, const QString &newLine,
                     const std::function<bool(const QStringList &fields)> &sameEntry);
// Lines without "|" dropped; matching lines rebuilt by `rebuild`.
QString withUpdatedEntries(const QStringList &lines,
                           const std::function<std::optional<QString>(const QStringList &fields)> &rebuild);
// Every line but line n (from 1), with the trailing empty lines trimmed as the
// delete operation does.
QString withoutLine(const QStringList &lines, qint64 n);

// Local-play names and paths may hold "|" and line breaks (Linux file names
// can). They are stored with "%", "|", CR and LF written as %25, %7C, %0D and
// %0A, so a line keeps its three fields; a field without those characters is
// stored as it is. A path's bytes that are not UTF-8 (fileNameFromBytes
// escapes) are stored as %80..%FF, so the path keeps naming its file. Names
// decode with unescapeText, paths with decodeLocalField.
QString encodeLocalField(const QString &field);
QString decodeLocalField(const QString &field);

// Network-task texts (title, episode name, address) arrive in links and are
// escaped texts that every reader passes through unescapeText. A "|", CR or LF
// in them is stored as %7C, %0D or %0A, which unescapes to the same text, so a
// line keeps its seven fields. "%" stays as it is: it starts the text's own
// escapes.
QString encodeNetworkField(const QString &field);

} // namespace history_text

// One line of date_f.dat, decoded.
struct LocalPlayEntry {
    QString name; // as stored; unescapeText gives the display text
    QString path;
    qint64 position = 0;
};
// nullopt for a line that is not an entry (no "|").
std::optional<LocalPlayEntry> parseLocalPlayLine(const QString &line);

// The files and pages of both lists in one program folder. Whenever a list's
// page is written it says so (pageWritten), so that whoever shows the page can
// load it again; the store knows nothing of who does.
class HistoryStore : public QObject {
    Q_OBJECT
public:
    explicit HistoryStore(QString programFolder);

    // Each returns false when the file was missing or could not be written;
    // callers ignore failures.
    bool addNetworkTask(int id, const QString &title, const QString &episodeName,
                        const QString &address, int source, int episode, qint64 position = 0);
    bool updateNetworkTaskPosition(int id, qint64 position);
    bool addLocalPlay(const QString &name, const QString &path, qint64 position = 0);
    bool updateLocalPlayPosition(const QString &path, qint64 position);
    // The position stored for a local file, 0 when it has no entry.
    qint64 localPlayPosition(const QString &path) const;
    bool removeHistoryLine(const QString &fileName, qint64 lineNumber);
    // Writes the list as a single empty line and regenerates its page.
    bool clearHistory(HistoryList list);

    // Builds the list page from its file and writes it.
    bool renderHistoryPage(const QString &fileName);
    // Rewrites an existing list page that does not show its file (the process
    // was ended between writing the file and its page); a page that matches is
    // not touched. True when the page was rewritten.
    bool rewriteStalePage(HistoryList list);
    bool renderHistoryPage(HistoryList list) { return renderHistoryPage(historyFileName(list)); }

    QString filePath(HistoryList list) const;
    QString pagePath(HistoryList list) const;
    const QString &folder() const { return folder_; }

signals:
    // The page of `list` was written anew (once per write, never for a page
    // left as it was).
    void pageWritten(vantoli::HistoryList list, const QString &pagePath);

private:
    bool addEntry(HistoryList list, const QString &newLine,
                  const std::function<bool(const QStringList &)> &sameEntry);

    QString folder_;
};

} // namespace vantoli
