#pragma once
// What registration added to the user's folders: the files it wrote (with a digest of their
// bytes) and the folders it made, in order, kept in one small text file so that removal takes
// back exactly these and nothing else.

#include <QByteArray>
#include <QList>
#include <QString>

namespace orm::integration {

class RegistrationRecord {
  public:
    struct Entry {
        bool folder = false;
        QString path;
        QByteArray digest;  // files: SHA-256 of the bytes written, hex
        bool operator==(const Entry&) const = default;
    };

    // Reads a record; a missing or unreadable file gives an empty record.
    static RegistrationRecord Load(const QString& path);
    // Writes it safely; false on failure.
    bool Save(const QString& path) const;

    // Makes every missing level of folder, noting each one made; false when it cannot be made.
    bool MakeFolders(const QString& folder);
    // Notes a file written with these bytes (replacing an earlier note of the same file).
    void NoteFile(const QString& path, const QByteArray& bytes);
    // The note of a file, or null.
    const Entry* FileEntry(const QString& path) const;
    // Whether the file still holds the bytes noted for it.
    bool Unchanged(const QString& path) const;

    const QList<Entry>& Entries() const { return entries_; }
    // Takes in the notes of an earlier registration: they keep their order, a note of this one
    // replaces an earlier note of the same path.
    void Merge(const RegistrationRecord& older);

    static QByteArray Digest(const QByteArray& bytes);

  private:
    QList<Entry> entries_;
};

}  // namespace orm::integration
