#pragma once

#include <QString>

// File steps that keep a file whole across a crash or a full disk: new files are written under a
// temporary name, synced, given the modes of their folder and renamed into place.
namespace SafeFiles {

// Creates `folder` when missing with the modes (and set-group-id bit) of its parent, so that every
// user who may write the parent may write it too. Fails when `folder` is a symbolic link or a file.
void ensureFolder(const QString& folder);

// Which modes a published file gets: those of the shared folder it lands in (read and write for
// whoever may write the folder, and its group), or this user's alone (a copy that holds every
// password hash, taken out of the shared folder).
enum class Modes { OfFolder, OfUser };

// Whether publishing may put a file in the place of one that is there: a new copy never does.
enum class Existing { Refuse, Replace };

// A new file written where other users may write too. It is made, empty, in a private folder (mode
// 0700, made with mkdtemp) inside `workFolder`, so that nobody else can put a link or a file of theirs
// in its place; whoever writes it opens path() without following links, and check() then proves that
// the file there is still the one made (device and inode). publish() moves it from the private folder,
// through that folder's descriptor, onto its final name. Until then the destructor removes it.
class PrivateFile {
public:
    explicit PrivateFile(const QString& workFolder);
    ~PrivateFile();
    PrivateFile(const PrivateFile&) = delete;
    PrivateFile& operator=(const PrivateFile&) = delete;

    // Where the file is, through no symbolic link (the work folder's real path).
    QString path() const { return m_path; }
    // A descriptor of the file made, open for writing.
    int descriptor() const { return m_file; }
    // Throws unless the file at path() is the one made, in the private folder made.
    void check() const;
    // Checks, gives the file its modes, syncs it, moves it onto `final` and syncs that folder.
    void publish(const QString& final, Modes modes, Existing existing);

    // For tests: called with path() once the file is made, before anyone writes it.
    static void setAfterCreate(void (*hook)(const QString& path));

private:
    void release();

    QString m_folderPath;
    QString m_path;
    int m_folder = -1;
    int m_file = -1;
    bool m_published = false;
};

// Removes what crashed or failed writes left in `folder` more than an hour ago.
void sweepTemporaries(const QString& folder);

// True for the names createTemporary gives.
bool isTemporary(const QString& name);

// The description of the last system error, for messages.
QString systemError();

} // namespace SafeFiles
