#include "readings/history_store.h"

#include <sqlite3.h>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <system_error>
#include <unordered_map>

#include "platform/atomic_file.h"
#include "platform/local_time.h"
#ifdef MIREL_SQLITE_LIBRARY
#include "platform/shared_library.h"
#endif

namespace mirel {

namespace fs = std::filesystem;

namespace {

// SQLite is with the program only while a history file is open. The monitor
// writes a batch a minute and then closes the file (HistoryKeeper), so the
// library's pages do not stay mapped for the rest of the minute. Where the
// build links SQLite in (the Windows program), the table points at it.
#define MIREL_SQLITE_FUNCTIONS(X)                                                        \
  X(libversion_number) X(open_v2) X(close) X(errstr) X(extended_result_codes) X(db_config) \
  X(exec) X(busy_timeout) X(prepare_v3) X(finalize) X(bind_int64) X(bind_text) X(step)    \
  X(reset) X(clear_bindings) X(column_int64) X(column_type) X(column_text) X(column_bytes) \
  X(last_insert_rowid)

struct SqliteApi {
#define MIREL_SQLITE_POINTER(name) decltype(&::sqlite3_##name) name = nullptr;
  MIREL_SQLITE_FUNCTIONS(MIREL_SQLITE_POINTER)
#undef MIREL_SQLITE_POINTER
};

std::mutex sqliteMutex;
int sqliteUsers = 0;
#ifdef MIREL_SQLITE_LIBRARY
std::unique_ptr<SharedLibrary> sqliteLibrary;
#endif
SqliteApi sqliteApi;
// The functions, valid while a SqliteUse lives.
const SqliteApi* sq = nullptr;

// Holds SQLite loaded for as long as it lives.
class SqliteUse {
 public:
  SqliteUse() {
    std::lock_guard lock(sqliteMutex);
    if (sqliteUsers == 0 && !Load()) return;
    ++sqliteUsers;
    sq = &sqliteApi;
    held_ = true;
  }
  ~SqliteUse() {
    if (!held_) return;
    std::lock_guard lock(sqliteMutex);
    if (--sqliteUsers > 0) return;
#ifdef MIREL_SQLITE_LIBRARY
    sq = nullptr;
    sqliteApi = SqliteApi{};
    sqliteLibrary.reset();
#endif
  }
  SqliteUse(const SqliteUse&) = delete;
  SqliteUse& operator=(const SqliteUse&) = delete;

  explicit operator bool() const { return held_; }
  // Why SQLite could not be loaded (Japanese).
  static std::string Failure() {
    std::lock_guard lock(sqliteMutex);
    return failure_;
  }

 private:
  static bool Load() {
#ifdef MIREL_SQLITE_LIBRARY
    std::string error;
    sqliteLibrary = SharedLibrary::Open(MIREL_SQLITE_LIBRARY, error);
    if (!sqliteLibrary) {
      failure_ = "SQLite (" MIREL_SQLITE_LIBRARY ") を読み込めません: " + error;
      return false;
    }
    SqliteApi api;
    bool complete = true;
#define MIREL_SQLITE_BIND(name)                                                            \
  api.name = reinterpret_cast<decltype(api.name)>(sqliteLibrary->Symbol("sqlite3_" #name)); \
  complete = complete && api.name != nullptr;
    MIREL_SQLITE_FUNCTIONS(MIREL_SQLITE_BIND)
#undef MIREL_SQLITE_BIND
    if (!complete) {
      failure_ = "SQLite (" MIREL_SQLITE_LIBRARY ") が古すぎます";
      sqliteLibrary.reset();
      return false;
    }
    sqliteApi = api;
#else
#define MIREL_SQLITE_LINKED(name) sqliteApi.name = &::sqlite3_##name;
    MIREL_SQLITE_FUNCTIONS(MIREL_SQLITE_LINKED)
#undef MIREL_SQLITE_LINKED
#endif
    return true;
  }
  inline static std::string failure_;
  bool held_ = false;
};

// "mr9x": tells this program's file from another program's database.
constexpr int kApplicationId = 0x6D723978;

constexpr const char* kSchema = R"sql(
CREATE TABLE interface(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  loopback INTEGER NOT NULL DEFAULT 0,
  last_rx INTEGER, last_tx INTEGER, last_wide INTEGER, last_identity INTEGER,
  last_time INTEGER, last_boot TEXT, last_boot_time INTEGER);
CREATE TABLE traffic(
  kind INTEGER NOT NULL, start INTEGER NOT NULL, iface INTEGER NOT NULL,
  utc_offset INTEGER NOT NULL, rx INTEGER NOT NULL, tx INTEGER NOT NULL,
  PRIMARY KEY(kind, start, iface)) WITHOUT ROWID;
CREATE TABLE note(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
)sql";

// What a failed call means to the user.
std::string Reason(int code) {
  switch (code & 0xFF) {
    case SQLITE_FULL:
      return "ディスクがいっぱいです";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
      return "書き込めません";
    case SQLITE_IOERR:
      return "読み書きに失敗しました";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return "ファイルが壊れています";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "ほかのプログラムが使っています";
    default: {
      SqliteUse use;
      return use ? std::string(sq->errstr(code)) : "SQLite のエラー " + std::to_string(code);
    }
  }
}

bool IsDamage(int code) {
  return (code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB;
}

class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() {
    if (stmt_ != nullptr) sq->finalize(stmt_);
  }

  int Prepare(sqlite3* db, const char* sql) {
    sq->finalize(stmt_);
    stmt_ = nullptr;
    return sq->prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  }
  Statement& Bind(int i, std::int64_t v) {
    sq->bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, const std::string& v) {
    sq->bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  int Step() { return sq->step(stmt_); }
  // Runs a statement that returns no rows; the result code.
  int Run() {
    const int rc = sq->step(stmt_);
    sq->reset(stmt_);
    sq->clear_bindings(stmt_);
    return rc == SQLITE_ROW ? SQLITE_DONE : rc;
  }
  void Reset() {
    sq->reset(stmt_);
    sq->clear_bindings(stmt_);
  }
  std::int64_t Int(int column) const { return sq->column_int64(stmt_, column); }
  bool IsNull(int column) const { return sq->column_type(stmt_, column) == SQLITE_NULL; }
  std::string Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sq->column_text(stmt_, column));
    return text ? std::string(text, static_cast<std::size_t>(sq->column_bytes(stmt_, column)))
                : std::string();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Whether two readings say the same of their interface's counters (the
// time alone moved on).
bool SameCounters(const LastReading& a, const LastReading& b) {
  return a.counters.rx == b.counters.rx && a.counters.tx == b.counters.tx &&
         a.counters.wide == b.counters.wide && a.identity == b.identity && a.bootId == b.bootId;
}

int Exec(sqlite3* db, const char* sql) {
  return sq->exec(db, sql, nullptr, nullptr, nullptr);
}

// A PRAGMA's single value; rc receives the result code.
std::string PragmaValue(sqlite3* db, const char* sql, int& rc) {
  Statement s;
  rc = s.Prepare(db, sql);
  if (rc != SQLITE_OK) return {};
  rc = s.Step();
  std::string value = rc == SQLITE_ROW ? s.Text(0) : std::string();
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) rc = SQLITE_OK;
  return value;
}

std::string Stamp() {
  std::tm local{};
  LocalTimeOf(static_cast<std::int64_t>(std::time(nullptr)), local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// Declared before the statements, so it closes after they are finalised.
struct Connection {
  sqlite3* db = nullptr;
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() {
    if (db != nullptr) sq->close(db);
  }
};

}  // namespace

struct HistoryStore::Impl {
  SqliteUse use;  // first: let go of after the connection and its statements
  Connection connection;
  sqlite3*& db = connection.db;
  Statement upsert, lookupInterface, insertInterface, setLoopback, setLast, selectLast, deleteOld;
  Statement queryOne, queryAll, noteGet, noteSet;
  std::unordered_map<std::string, std::pair<std::int64_t, bool>> interfaces;  // id, loopback
  std::unordered_map<std::string, LastReading> kept;  // the last readings as written

  int PrepareAll() {
    struct {
      Statement& s;
      const char* sql;
    } all[] = {
        {upsert,
         "INSERT INTO traffic(kind, start, iface, utc_offset, rx, tx) VALUES(?1, ?2, ?3, ?4, ?5, "
         "?6) ON CONFLICT(kind, start, iface) DO UPDATE SET rx = rx + excluded.rx, tx = tx + "
         "excluded.tx"},
        {lookupInterface, "SELECT id, loopback FROM interface WHERE name = ?1"},
        {insertInterface, "INSERT INTO interface(name, loopback) VALUES(?1, ?2)"},
        {setLoopback, "UPDATE interface SET loopback = ?2 WHERE id = ?1"},
        {setLast,
         "UPDATE interface SET last_rx = ?2, last_tx = ?3, last_wide = ?4, last_identity = ?5, "
         "last_time = ?6, last_boot = ?7, last_boot_time = ?8 WHERE id = ?1"},
        {selectLast,
         "SELECT name, last_rx, last_tx, last_wide, last_identity, last_time, last_boot, "
         "last_boot_time FROM interface WHERE last_time IS NOT NULL"},
        {deleteOld, "DELETE FROM traffic WHERE kind = ?1 AND start < ?2"},
        {queryOne,
         "SELECT t.start, t.utc_offset, t.rx, t.tx FROM traffic t JOIN interface i ON i.id = "
         "t.iface WHERE t.kind = ?1 AND t.start >= ?2 AND t.start < ?3 AND i.name = ?4 ORDER BY "
         "t.start"},
        {queryAll,
         "SELECT t.start, MAX(t.utc_offset), SUM(t.rx), SUM(t.tx) FROM traffic t JOIN interface i "
         "ON i.id = t.iface WHERE t.kind = ?1 AND t.start >= ?2 AND t.start < ?3 AND i.loopback = "
         "0 GROUP BY t.start ORDER BY t.start"},
        {noteGet, "SELECT value FROM note WHERE key = ?1"},
        {noteSet, "INSERT OR REPLACE INTO note(key, value) VALUES(?1, ?2)"},
    };
    for (auto& [s, sql] : all) {
      if (int rc = s.Prepare(db, sql); rc != SQLITE_OK) return rc;
    }
    return SQLITE_OK;
  }

  // The interface's id, made when it is new; 0 on failure.
  std::int64_t InterfaceId(const std::string& name, bool loopback, int& rc) {
    auto it = interfaces.find(name);
    if (it == interfaces.end()) {
      lookupInterface.Bind(1, name);
      rc = lookupInterface.Step();
      if (rc == SQLITE_ROW) {
        it =
            interfaces.emplace(name, std::pair{lookupInterface.Int(0), lookupInterface.Int(1) != 0})
                .first;
        rc = SQLITE_OK;
      }
      lookupInterface.Reset();
      if (it == interfaces.end()) {
        if (rc != SQLITE_DONE) return 0;
        rc = insertInterface.Bind(1, name).Bind(2, loopback ? 1 : 0).Run();
        if (rc != SQLITE_DONE) return 0;
        it = interfaces.emplace(name, std::pair{sq->last_insert_rowid(db), loopback}).first;
      }
    }
    rc = SQLITE_OK;
    if (it->second.second != loopback) {
      rc = setLoopback.Bind(1, it->second.first).Bind(2, loopback ? 1 : 0).Run();
      if (rc != SQLITE_DONE) return 0;
      it->second.second = loopback;
      rc = SQLITE_OK;
    }
    return it->second.first;
  }
};

namespace {

enum class Verdict { kOk, kDamaged, kNewer, kUnwritable, kNoLibrary };

struct Attempt {
  Verdict verdict = Verdict::kUnwritable;
  int code = SQLITE_OK;
  std::unique_ptr<HistoryStore::Impl> impl;
};

void Limit(sqlite3* db) {
  // An idle monitor keeps this connection for days: a small page cache and
  // no lookaside pool, the file is small anyway.
  sq->db_config(db, SQLITE_DBCONFIG_LOOKASIDE, nullptr, 0, 0);
  Exec(db, "PRAGMA cache_size = -256");
  sq->busy_timeout(db, 2000);
}

// Opens, checks and (for writing) prepares the file as it is.
Attempt TryOpen(const fs::path& file, bool writing, bool again) {
  Attempt a;
  auto impl = std::make_unique<HistoryStore::Impl>();
  if (!impl->use) {
    a.verdict = Verdict::kNoLibrary;
    return a;
  }
  // The statements need 3.24 (upserts); an older library must not take the
  // file for damaged.
  if (sq->libversion_number() < 3024000) {
    a.code = SQLITE_MISUSE;
    return a;
  }
  const std::string name = PathText(file);
  const int flags = writing ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
  a.code = sq->open_v2(name.c_str(), &impl->db, flags, nullptr);
  if (a.code != SQLITE_OK) {
    a.verdict = IsDamage(a.code) ? Verdict::kDamaged : Verdict::kUnwritable;
    return a;
  }
  sq->extended_result_codes(impl->db, 1);
  Limit(impl->db);

  int rc = SQLITE_OK;
  const std::string application = PragmaValue(impl->db, "PRAGMA application_id", rc);
  const std::string version =
      rc == SQLITE_OK ? PragmaValue(impl->db, "PRAGMA user_version", rc) : std::string();
  const std::string tables = rc == SQLITE_OK
                                 ? PragmaValue(impl->db, "SELECT count(*) FROM sqlite_master", rc)
                                 : std::string();
  if (rc != SQLITE_OK) {
    a.code = rc;
    a.verdict = IsDamage(rc) ? Verdict::kDamaged : Verdict::kUnwritable;
    return a;
  }
  const bool fresh = application == "0" && version == "0" && tables == "0";
  if (!fresh && application != std::to_string(kApplicationId)) {
    a.verdict = Verdict::kDamaged;  // another program's database, or not ours any more
    a.code = SQLITE_NOTADB;
    return a;
  }
  if (!fresh && std::stoll(version) > kHistorySchemaVersion) {
    a.verdict = Verdict::kNewer;
    return a;
  }
  if (writing) {
    if (fresh) {
      // The page size is set before anything is written; small pages keep
      // each minute's write small.
      Exec(impl->db, "PRAGMA page_size = 1024");
    }
    const std::string mode = PragmaValue(impl->db, "PRAGMA journal_mode = WAL", rc);
    if (rc != SQLITE_OK || mode != "wal") {
      a.code = rc != SQLITE_OK ? rc : SQLITE_READONLY;
      a.verdict = IsDamage(a.code) ? Verdict::kDamaged : Verdict::kUnwritable;
      return a;
    }
    // A crash loses at most the transactions since the last checkpoint's
    // sync, and never damages the file.
    Exec(impl->db, "PRAGMA synchronous = NORMAL");
    Exec(impl->db, "PRAGMA journal_size_limit = 1048576");
    if (fresh) {
      const std::string create =
          std::string("BEGIN IMMEDIATE;") + kSchema +
          "PRAGMA application_id = " + std::to_string(kApplicationId) +
          "; PRAGMA user_version = " + std::to_string(kHistorySchemaVersion) + "; COMMIT;";
      rc = Exec(impl->db, create.c_str());
      if (rc != SQLITE_OK) {
        Exec(impl->db, "ROLLBACK");
        a.code = rc;
        a.verdict = IsDamage(rc) ? Verdict::kDamaged : Verdict::kUnwritable;
        return a;
      }
    }
  }
  if (!fresh && !again) {
    const std::string check = PragmaValue(impl->db, "PRAGMA quick_check", rc);
    if (rc != SQLITE_OK || check != "ok") {
      a.code = rc != SQLITE_OK ? rc : SQLITE_CORRUPT;
      a.verdict = IsDamage(a.code) || rc == SQLITE_OK ? Verdict::kDamaged : Verdict::kUnwritable;
      return a;
    }
  }
  rc = impl->PrepareAll();
  if (rc != SQLITE_OK) {
    a.code = rc;
    // Our version with a table missing or changed: damaged as far as we can tell.
    a.verdict =
        (rc & 0xFF) == SQLITE_ERROR || IsDamage(rc) ? Verdict::kDamaged : Verdict::kUnwritable;
    return a;
  }
  if (again) {
    // Opened for each minute's batch: the log is folded into the file as it
    // grows (every 1000 pages), not at every close.
    sq->db_config(impl->db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
  } else if (writing) {
    // A write that changes nothing finds out now whether the file and its
    // folder take writes, rather than at the first batch.
    rc = Exec(impl->db, "BEGIN IMMEDIATE; UPDATE note SET value = value WHERE 0; COMMIT;");
    if (rc != SQLITE_OK) {
      Exec(impl->db, "ROLLBACK");
      a.code = rc;
      a.verdict = IsDamage(rc) ? Verdict::kDamaged : Verdict::kUnwritable;
      return a;
    }
  }
  a.verdict = Verdict::kOk;
  a.impl = std::move(impl);
  return a;
}

// Moves the file (and its write-ahead log) aside; the new name, or empty.
fs::path KeepAside(const fs::path& file, const char* why, std::string& error) {
  fs::path kept = file;
  kept += std::string(".") + why + "-" + Stamp();
  std::error_code ec;
  fs::rename(file, kept, ec);
  if (ec) {
    error = ec.message();
    return {};
  }
  fs::path wal = file, keptWal = kept, shm = file;
  wal += "-wal";
  keptWal += "-wal";
  shm += "-shm";
  if (fs::exists(wal, ec)) fs::rename(wal, keptWal, ec);
  fs::remove(shm, ec);
  return kept;
}

}  // namespace

HistoryStore::HistoryStore(fs::path file, std::unique_ptr<Impl> impl)
    : file_(std::move(file)), impl_(std::move(impl)) {}

HistoryStore::~HistoryStore() = default;

HistoryOpen HistoryStore::OpenForWriting(const fs::path& file, bool again) {
  HistoryOpen result;
  std::error_code ec;
  if (!file.parent_path().empty()) fs::create_directories(file.parent_path(), ec);
  if (ec) {
    result.message = "通信履歴のフォルダを作れません (" + PathText(file.parent_path()) + ": " +
                     ec.message() + ")";
    return result;
  }
  // A pipe or a device under the file's name is neither opened nor moved.
  if (fs::exists(file, ec) && !fs::is_regular_file(file, ec)) {
    result.message = "通信履歴のファイルが通常のファイルではありません (" + PathText(file) + ")";
    return result;
  }
  Attempt a = TryOpen(file, true, again);
  if (a.verdict == Verdict::kDamaged || a.verdict == Verdict::kNewer) {
    const bool newer = a.verdict == Verdict::kNewer;
    a = Attempt{};  // closed before it is moved
    std::string error;
    const fs::path kept = KeepAside(file, newer ? "newer" : "damaged", error);
    if (kept.empty()) {
      result.message = "通信履歴のファイルを読めず、別の名前で残すこともできません (" +
                       PathText(file) + ": " + error + ")";
      return result;
    }
    result.message = std::string(newer ? "通信履歴のファイルは新しい版のプログラムのものでした。"
                                       : "通信履歴のファイルが壊れていました。") +
                     "「" + PathText(kept.filename()) + "」として残し、新しく記録を始めます。";
    a = TryOpen(file, true, again);
    if (a.verdict == Verdict::kOk) {
      result.status = HistoryOpen::Status::kKeptAside;
      result.store.reset(new HistoryStore(file, std::move(a.impl)));
      return result;
    }
  }
  if (a.verdict != Verdict::kOk) {
    result.status = HistoryOpen::Status::kFailed;
    result.message = "通信履歴を記録できません (" + PathText(file) + ": " +
                     (a.verdict == Verdict::kNoLibrary ? SqliteUse::Failure() : Reason(a.code)) +
                     ")";
    return result;
  }
  result.status = HistoryOpen::Status::kOk;
  result.store.reset(new HistoryStore(file, std::move(a.impl)));
  return result;
}

HistoryOpen HistoryStore::OpenForReading(const fs::path& file) {
  HistoryOpen result;
  std::error_code ec;
  if (!fs::exists(file, ec)) {
    result.status = HistoryOpen::Status::kMissing;
    result.message = "通信履歴はまだありません (" + PathText(file) + ")";
    return result;
  }
  if (!fs::is_regular_file(file, ec)) {
    result.message = "通信履歴のファイルが通常のファイルではありません (" + PathText(file) + ")";
    return result;
  }
  Attempt a = TryOpen(file, false, false);
  switch (a.verdict) {
    case Verdict::kOk:
      result.status = HistoryOpen::Status::kOk;
      result.store.reset(new HistoryStore(file, std::move(a.impl)));
      break;
    case Verdict::kNewer:
      result.message =
          "通信履歴のファイルは新しい版のプログラムのものです (" + PathText(file) + ")";
      break;
    case Verdict::kDamaged:
      result.message = "通信履歴のファイルが壊れています (" + PathText(file) + ")";
      break;
    case Verdict::kUnwritable:
      result.message =
          "通信履歴のファイルを読めません (" + PathText(file) + ": " + Reason(a.code) + ")";
      break;
    case Verdict::kNoLibrary:
      result.message =
          "通信履歴のファイルを読めません (" + PathText(file) + ": " + SqliteUse::Failure() + ")";
      break;
  }
  return result;
}

void HistoryStore::Checkpoint() { Exec(impl_->db, "PRAGMA wal_checkpoint(TRUNCATE)"); }

std::string HistoryStore::Commit(const HistoryBatch& batch) {
  if (batch.Empty()) return {};
  sqlite3* db = impl_->db;
  int rc = Exec(db, "BEGIN IMMEDIATE");
  auto fail = [&](int code) {
    Exec(db, "ROLLBACK");
    impl_->interfaces.clear();  // ids made in the transaction are gone with it
    impl_->kept.clear();
    return Reason(code);
  };
  if (rc != SQLITE_OK) return fail(rc);
  for (const auto& [name, loopback] : batch.loopback) {
    impl_->InterfaceId(name, loopback, rc);
    if (rc != SQLITE_OK) return fail(rc);
  }
  for (const auto& [key, amount] : batch.buckets) {
    const auto& [name, table, start] = key;
    auto known = batch.loopback.find(name);
    const std::int64_t id =
        impl_->InterfaceId(name, known != batch.loopback.end() && known->second, rc);
    if (rc != SQLITE_OK) return fail(rc);
    rc = impl_->upsert.Bind(1, static_cast<int>(table))
             .Bind(2, start)
             .Bind(3, id)
             .Bind(4, amount.utcOffset)
             .Bind(5, static_cast<std::int64_t>(amount.rx))
             .Bind(6, static_cast<std::int64_t>(amount.tx))
             .Run();
    if (rc != SQLITE_DONE) return fail(rc);
  }
  for (const auto& [name, last] : batch.last) {
    // An idle interface's reading is the one already kept.
    auto kept = impl_->kept.find(name);
    if (kept != impl_->kept.end() && SameCounters(kept->second, last)) continue;
    auto known = batch.loopback.find(name);
    const std::int64_t id =
        impl_->InterfaceId(name, known != batch.loopback.end() && known->second, rc);
    if (rc != SQLITE_OK) return fail(rc);
    rc = impl_->setLast.Bind(1, id)
             .Bind(2, static_cast<std::int64_t>(last.counters.rx))
             .Bind(3, static_cast<std::int64_t>(last.counters.tx))
             .Bind(4, last.counters.wide ? 1 : 0)
             .Bind(5, static_cast<std::int64_t>(last.identity))
             .Bind(6, last.timeMs)
             .Bind(7, last.bootId)
             .Bind(8, last.bootTimeMs)
             .Run();
    if (rc != SQLITE_DONE) return fail(rc);
  }
  rc = Exec(db, "COMMIT");
  if (rc != SQLITE_OK) return fail(rc);
  for (const auto& [name, last] : batch.last) impl_->kept[name] = last;
  return {};
}

std::string HistoryStore::Prune(const HistoryRetention& retention, std::int64_t nowSeconds) {
  int rc = Exec(impl_->db, "BEGIN IMMEDIATE");
  for (HistoryTable table : kHistoryTables) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) break;
    const std::optional<std::int64_t> cutoff = RetentionCutoff(retention, table, nowSeconds);
    if (!cutoff) continue;
    rc = impl_->deleteOld.Bind(1, static_cast<int>(table)).Bind(2, *cutoff).Run();
  }
  if (rc == SQLITE_OK || rc == SQLITE_DONE) rc = Exec(impl_->db, "COMMIT");
  if (rc != SQLITE_OK) {
    Exec(impl_->db, "ROLLBACK");
    return Reason(rc);
  }
  return {};
}

std::map<std::string, LastReading> HistoryStore::LastReadings() {
  std::map<std::string, LastReading> out;
  Statement& s = impl_->selectLast;
  while (s.Step() == SQLITE_ROW) {
    LastReading r;
    r.counters.rx = static_cast<std::uint64_t>(s.Int(1));
    r.counters.tx = static_cast<std::uint64_t>(s.Int(2));
    r.counters.wide = s.Int(3) != 0;
    r.identity = static_cast<std::uint64_t>(s.Int(4));
    r.timeMs = s.Int(5);
    r.bootId = s.Text(6);
    r.bootTimeMs = s.Int(7);
    out[s.Text(0)] = std::move(r);
  }
  s.Reset();
  return out;
}

std::vector<HistoryInterface> HistoryStore::Interfaces() {
  std::vector<HistoryInterface> out;
  Statement s;
  if (s.Prepare(impl_->db, "SELECT name, loopback FROM interface ORDER BY name") != SQLITE_OK)
    return out;
  while (s.Step() == SQLITE_ROW) out.push_back({s.Text(0), s.Int(1) != 0});
  return out;
}

std::vector<HistoryBucket> HistoryStore::Query(HistoryTable table, const HistoryScope& scope,
                                               std::int64_t begin, std::int64_t end) {
  std::vector<HistoryBucket> out;
  Statement& s = scope.All() ? impl_->queryAll : impl_->queryOne;
  s.Bind(1, static_cast<int>(table)).Bind(2, begin).Bind(3, end);
  if (!scope.All()) s.Bind(4, scope.name);
  while (s.Step() == SQLITE_ROW) {
    out.push_back({{s.Int(0), static_cast<std::int32_t>(s.Int(1))},
                   static_cast<std::uint64_t>(s.Int(2)),
                   static_cast<std::uint64_t>(s.Int(3))});
  }
  s.Reset();
  return out;
}

std::optional<std::string> HistoryStore::Note(const std::string& key) {
  Statement& s = impl_->noteGet;
  s.Bind(1, key);
  std::optional<std::string> value;
  if (s.Step() == SQLITE_ROW) value = s.Text(0);
  s.Reset();
  return value;
}

std::string HistoryStore::SetNote(const std::string& key, const std::string& value) {
  const int rc = impl_->noteSet.Bind(1, key).Bind(2, value).Run();
  return rc == SQLITE_DONE ? std::string() : Reason(rc);
}

namespace {

Usage SumOf(const std::vector<HistoryBucket>& buckets) {
  Usage usage;
  for (const HistoryBucket& b : buckets) {
    usage.rx += b.rx;
    usage.tx += b.tx;
  }
  return usage;
}

}  // namespace

Usage UsageOf(HistoryStore& store, const HistoryScope& scope, Span span) {
  return SumOf(store.Query(HistoryTable::kDays, scope, span.begin, span.end));
}

Usage TodayUsage(HistoryStore& store, const HistoryScope& scope, std::int64_t nowSeconds) {
  return UsageOf(store, scope, DayPeriod(nowSeconds));
}

Usage MonthUsage(HistoryStore& store, const HistoryScope& scope, std::int64_t nowSeconds,
                 int monthStartDay) {
  if (monthStartDay <= 1) {
    // The month's own bucket: it stays when daily ones are pruned early.
    const std::int64_t month = BucketOf(HistoryTable::kMonths, nowSeconds).start;
    return SumOf(store.Query(HistoryTable::kMonths, scope, month, month + 1));
  }
  return UsageOf(store, scope, MonthPeriod(nowSeconds, monthStartDay));
}

}  // namespace mirel
