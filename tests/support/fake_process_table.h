#pragma once
// A process table for tests: the listed processes are plain entries, ending
// one removes it, and every end and start is recorded.

#include "platform/process_table.h"

namespace vantoli {

class FakeProcessTable : public ProcessTable {
public:
    QList<ProcessEntry> processes;
    QList<qint64> ended;
    QStringList started; // program, then the arguments, joined by " "
    bool startWorks = true;
    int lists = 0;

    ProcessEntry &add(qint64 pid, const QString &executable) {
        processes.append({pid, executable.section(u'/', -1), executable});
        return processes.last();
    }
    QList<ProcessEntry> list() override {
        ++lists;
        return processes;
    }
    bool end(const ProcessEntry &process) override {
        for (qsizetype i = 0; i < processes.size(); ++i) {
            if (processes.at(i).pid == process.pid) {
                processes.removeAt(i);
                ended.append(process.pid);
                return true;
            }
        }
        return false;
    }
    bool start(const QString &program, const QStringList &arguments) override {
        started.append((QStringList{program} + arguments).join(u' '));
        return startWorks;
    }
};

} // namespace vantoli
