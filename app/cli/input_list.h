#pragma once
// Inputs for runs spread over many processes or machines: a list of paths read from a file or
// standard input (--files-from, one a line or NUL-separated), and the share of the inputs one of
// N processes takes (--shard K/N), so N runs that know nothing of each other cover every input
// exactly once.

#include "cli/input_tree.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace orm::cli {

// The paths of a list: one per line ('\n'), or separated by NUL bytes when nulSeparated. Empty
// entries are left out; nothing else is trimmed (a name may begin or end with a blank). Names
// that are not UTF-8 keep their bytes (native_path.h).
QStringList PathsFromList(const QByteArray& bytes, bool nulSeparated);

// Reads the list from a file, or from standard input for "-"; none with the system's reason.
std::optional<QStringList> ReadPathList(const QString& source, bool nulSeparated,
                                        QString* error = nullptr);

struct Shard {
    int index = 1;  // K, 1-based
    int count = 1;  // N
    bool Active() const { return count > 1; }
};

// "K/N" with 1 <= K <= N; none otherwise.
std::optional<Shard> ParseShardArg(const QString& text);

// The inputs sorted by path (code units) with repeats of a path removed (the first kept), then
// every one whose 1-based position p has p mod N == K mod N. The same list gives every process
// the same positions, whatever order the paths were given in.
std::vector<InputFile> ShardOf(std::vector<InputFile> files, const Shard& shard);

}  // namespace orm::cli
