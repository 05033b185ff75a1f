// Refreshing the auxiliary databases from the update server over HTTP, in two
// jobs: the check fetches the update list and offers every table the server has
// in a newer version; the download fetches the chosen tables, installs each one
// that decompresses and passes the loader's checks, and reloads the tables.
//
// The server's address is a setting: the environment variable
// TRAILVANE_UPDATE_SERVER, else the first line of "update_server.txt" in the
// data folder. Without one nothing is offered.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/config/sectionfile.h"
#include "engine/store/project.h"

// One downloadable table of the update list.
struct CUpdateFile {
  CUpdateFile() = default;
  ~CUpdateFile();
  CUpdateFile(const CUpdateFile&) = delete;
  CUpdateFile& operator=(const CUpdateFile&) = delete;

  char* url = nullptr;   // the table, or a geographic level's range index
  char* url2 = nullptr;  // a geographic level's name table
  int16_t type = 0;      // table header type 1..11
  int16_t id_file = 0;   // above 0: never offered
  int16_t version = 0;   // the server's version, against the loaded table's version byte
  int16_t mb = 0;        // download size shown to the user
};

// The update list: a section file with one "File" section per table.
class CUpdateList : public CSectionFile {
 public:
  CUpdateList();
  ~CUpdateList() override;

  int Count() const { return files.Count(); }
  const CUpdateFile* Row(int row) const { return files.Get(row); }

  CRecordList<CUpdateFile> files;
};

// The list of the last check; it stays until the next check replaces it.
extern CUpdateList g_updateList;

// Where the list lies on the update server.
extern const char* const kUpdateListPath;  // "/data/data_log.-"

// One offered table, handed to the user interface and back.
struct CUpdateEntry {
  std::string title;
  int16_t size = 0;   // the row's mb
  int selected = 1;   // the user interface may clear it; a failed download clears it
  int row = 0;        // in g_updateList
  std::string file1, file2;  // downloaded files, while the download step runs
};

// The configured server address; "" when none is set.
std::string UpdateServerAddress();

// Fetches the update list (through the proxy when proxyHost is given) and fills
// entries with the tables to offer. Returns their number; 0 with "Nothing to
// update" when nothing is offered or the list could not be had. When entries
// are offered the connection stays open for DownloadDatabaseUpdates.
// *failed (when given) tells a list that could not be had, which is reported
// with its reason, from one that offers nothing new.
int CheckDatabaseUpdates(std::vector<CUpdateEntry>* entries, const char* proxyHost, uint16_t proxyPort,
                         bool* failed = nullptr);

// The title of a list row that is to be offered (a known type, no id_file and a
// version above the loaded table's), else null.
const char* GetUpdateTitle(int row);

// Downloads the selected entries, closes the connection, installs them and
// reloads the tables (through the reload runner). A stop request ends the step
// without reloading. Each table is fetched once: of the selected entries for
// one table only the newest version is downloaded. A table that cannot be
// downloaded or installed is reported with its reason and counted in *failed
// (when given). Always 1.
int DownloadDatabaseUpdates(std::vector<CUpdateEntry>& entries, int* failed = nullptr);

// The update list and each decompressed table are refused past these sizes
// (64 MB and 512 MB, far above any real one); tests lower them.
void SetUpdateSizeLimits(uint64_t listBytes, uint64_t tableBytes);

// Decompresses a downloaded table (types 1-5: first only; 6-11: first the range
// index, second the name table, both needed), checks it as the loader would and
// only then puts it in place of the installed table, by renaming. The given
// files are deleted. True when installed.
bool InstallDatabaseFile(int type, const char* first, const char* second);

// The reload after a download must not run while another thread reads the
// tables; the user interface installs a runner that calls reload on its own
// thread and returns when it has run. Without a runner the download step
// reloads on its own thread.
using DatabaseReloadRunner = void (*)(void (*reload)());
void SetDatabaseReloadRunner(DatabaseReloadRunner runner);
// Reloads every table (not the settings file) and gives the countries their
// names in the current language again.
void ReloadUpdatedDatabases();
