#pragma once
// The built-in Access reader, for systems without an Access ODBC driver:
// mdbtools' libmdb reads the file, and an in-memory SQLite database runs the
// statements' SQL text on the tables they name, loaded on first use and again
// whenever the file has changed since.

#include "DbEngine.h"

#include <cstdint>
#include <string>

struct sqlite3;

class TMdbReaderEngine : public TDbEngine {
public:
    TMdbReaderEngine();
    ~TMdbReaderEngine() override;
    TMdbReaderEngine(const TMdbReaderEngine&) = delete;
    TMdbReaderEngine& operator=(const TMdbReaderEngine&) = delete;

    // Checks that `path` is an Access file libmdb can read and reads its
    // catalog. The file is only ever read.
    void Open(const std::string& path, bool readOnly) override;
    void Close() override;
    bool Connected() const override;
    TDbResult Execute(const std::string& sql, const std::vector<TDbValue>& params) override;
    std::string Description() const override;

    // Since construction: how many times a table was read from the file, the
    // file was opened (a version read), a statement was run, and a reading
    // was made again because the file changed under it.
    int TableLoads() const { return FTableLoads; }
    int FileReads() const { return FFileReads; }
    int Statements() const { return FStatements; }
    int Retries() const { return FRetries; }

    // The identity of one version of the file on disk.
    struct TFileStamp {
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
        bool operator==(const TFileStamp&) const = default;
    };

private:
    void OpenFile();
    void CloseFile();
    void Refresh();
    void LoadTable(const std::string& requestedName);
    TDbResult Run(const std::string& sql, const std::vector<TDbValue>& params);

    std::string FPath;
    bool FConnected = false;
    void* FMdb = nullptr;   // MdbHandle of the version in FStamp
    sqlite3* FDb = nullptr; // tables loaded from that version
    TFileStamp FStamp;
    bool FStampUnsettled = false; // written too recently to trust the stamp alone
    std::int64_t FOpenedAt = 0;   // steady clock ticks when the version was opened
    TFileStamp FReadStamp;        // of the version the current reading began with
    int FTableLoads = 0;
    int FFileReads = 0;
    int FStatements = 0;
    int FRetries = 0;
};
