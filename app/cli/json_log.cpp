#include "cli/json_log.h"

#include "batch/batch_entry.h"
#include "imageio/damage_check.h"
#include "imageio/native_path.h"

#include <sys/stat.h>

namespace orm::cli {

namespace {

qint64 FileBytes(const QString& path) {
    struct stat st {};
    if (::stat(NativePath(path).constData(), &st) != 0)
        return -1;
    return qint64(st.st_size);
}

QString NumberOrNull(qint64 n, qint64 unknown) {
    return n == unknown ? QStringLiteral("null") : QString::number(n);
}

// Why an entry failed, for a supervisor's log (the people's log has the long texts).
QString FailureReason(const BatchReport& report) {
    switch (report.code) {
        case BatchStatus::CantOpenInput:
            return report.reason.isEmpty() ? QStringLiteral("can't open this file as an image")
                                           : report.reason;
        case BatchStatus::NoOutputFolder:
            return QStringLiteral("the output folder %1 does not exist").arg(report.reason);
        case BatchStatus::CantCreateImage:
            return report.reason.isEmpty() ? QStringLiteral("can't create the output image")
                                           : report.reason;
        case BatchStatus::Cancelled:
            return QStringLiteral("the run was cancelled or the resize failed");
        case BatchStatus::CantWrite:
            return QStringLiteral("can't write %1%2")
                .arg(report.outputPath,
                     report.reason.isEmpty() ? QString() : QStringLiteral(": ") + report.reason);
        case BatchStatus::Processing:
        case BatchStatus::Skipped:
            break;
    }
    return report.reason;
}

}  // namespace

QString JsonString(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                          QChar::isLowSurrogate(text[i + 1].unicode());
        if (pair) {
            out += text[i];
            out += text[++i];
        } else if (c == u'"' || c == u'\\') {
            out += QLatin1Char('\\');
            out += QChar(c);
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\t') {
            out += QLatin1String("\\t");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else if (c < 0x20 || QChar::isSurrogate(c)) {
            // Control characters, and the lone surrogates that stand for bytes that are not
            // UTF-8 (UTF-8 cannot carry them).
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        } else {
            out += QChar(c);
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString JsonLine(const JsonInputRecord& record) {
    QString outputs;
    for (const JsonOutput& o : record.outputs) {
        if (!outputs.isEmpty())
            outputs += QLatin1Char(',');
        outputs += QStringLiteral("{\"path\":%1,\"width\":%2,\"height\":%3,\"bytes\":%4}")
                       .arg(JsonString(o.path), NumberOrNull(o.width, 0), NumberOrNull(o.height, 0),
                            NumberOrNull(o.bytes, -1));
    }
    return QStringLiteral("{\"input\":%1,\"status\":%2,\"outputs\":[%3],\"reason\":%4}")
        .arg(JsonString(record.input), JsonString(record.status), outputs,
             JsonString(record.reason));
}

JsonLogReporter::JsonLogReporter(std::vector<size_t> entriesPerInput, IBatchReporter& next,
                                 LineSink sink)
    : entriesPerInput_(std::move(entriesPerInput)), next_(next), sink_(std::move(sink)) {
    for (size_t input = 0; input < entriesPerInput_.size(); ++input)
        inputOfEntry_.insert(inputOfEntry_.end(), entriesPerInput_[input], input);
}

void JsonLogReporter::Begin(size_t index, const QString& input) {
    const size_t which = index < inputOfEntry_.size() ? inputOfEntry_[index] : index;
    if (input_ == which)
        return;
    if (input_)
        Emit();  // not reached: every entry of an input ends before the next input starts
    input_ = which;
    record_ = JsonInputRecord{};
    record_.input = input;
    skipReason_.clear();
    done_ = 0;
    failed_ = damaged_ = written_ = false;
}

void JsonLogReporter::EntryDone() {
    ++done_;
    const size_t expected = *input_ < entriesPerInput_.size() ? entriesPerInput_[*input_] : 1;
    if (done_ >= expected)
        Emit();
}

void JsonLogReporter::Emit() {
    if (!input_)
        return;
    record_.status = failed_    ? QStringLiteral("failed")
                     : damaged_ ? QStringLiteral("damaged")
                     : written_ ? QStringLiteral("written")
                                : QStringLiteral("skipped");
    if (!failed_ && !damaged_ && !written_)
        record_.reason = skipReason_;
    sink_(JsonLine(record_));
    input_.reset();
}

void JsonLogReporter::Report(const BatchReport& report) {
    {
        std::lock_guard lock(mutex_);
        Begin(size_t(report.fileNumber - 1), report.entry.path);
        if (report.code == BatchStatus::Skipped) {
            JsonOutput existing{report.outputPath, 0, 0, FileBytes(report.outputPath)};
            if (const std::optional<ImageProbe> probe = ProbeImage(report.outputPath)) {
                existing.width = probe->width;
                existing.height = probe->height;
            }
            record_.outputs.push_back(existing);
            if (skipReason_.isEmpty())
                skipReason_ =
                    report.reason.isEmpty() ? QStringLiteral("the output exists") : report.reason;
            EntryDone();
        } else if (report.code != BatchStatus::Processing) {
            if (!failed_)
                record_.reason = FailureReason(report);
            failed_ = true;
            EntryDone();
        }
    }
    next_.Report(report);
}

void JsonLogReporter::Warning(const QString& text) {
    {
        std::lock_guard lock(mutex_);
        const QString damagedPrefix = DamagedFileWarning(record_.input, {});
        if (input_ && text.startsWith(damagedPrefix)) {
            damaged_ = true;
            if (!failed_)
                record_.reason = text.mid(damagedPrefix.size());
        }
    }
    next_.Warning(text);
}

void JsonLogReporter::Written(const BatchReport& report, const BatchFileTimes& times) {
    {
        std::lock_guard lock(mutex_);
        Begin(size_t(report.fileNumber - 1), report.entry.path);
        record_.outputs.push_back({report.outputPath, report.entry.width, report.entry.height,
                                   FileBytes(report.outputPath)});
        written_ = true;
        EntryDone();
    }
    next_.Written(report, times);
}

void JsonLogReporter::Finished(const BatchRunSummary& summary) {
    {
        std::lock_guard lock(mutex_);
        // An input whose later sizes were never reached (the run stopped) is not complete.
        if (input_ && done_ > 0) {
            if (!failed_) {
                failed_ = true;
                record_.reason = QStringLiteral("the run stopped before all its sizes were made");
            }
            Emit();
        }
    }
    next_.Finished(summary);
}

}  // namespace orm::cli
