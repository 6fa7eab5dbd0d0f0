#include "server/sim/maps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/shipped_data.h"
#include "server/sim/hooks.h"
#include "server/sim/world.h"

MapEntry SV_MAPL[MAP_LIST_SIZE + 1];

namespace {

constexpr char FREE_ENTRY[] = "-";
constexpr char BUILTIN_NAME[] = "DefMap";
// Header "000000", then five rows; the CR right after the header leaves row 1 empty.
constexpr char BUILTIN_TEXT[] = "000000\r ArA \rB@ aA\ry 0 o\rAh19A\r ApA ";

constexpr int FIRST_ROW_POSITION = MAP_HEADER_LENGTH + 1;
constexpr int LINE_LIMIT = 255;
// A map keeps at most 4222 bytes of text; a file is read no further than
// this, however long its lines, so loading always ends quickly.
constexpr long MAP_FILE_READ_LIMIT = 64 * 1024;

// A map file read through a budget of bytes: past it, the file ends.
struct MapFile {
  FILE* f;
  long left;
  int get() {
    if (left <= 0) return EOF;
    --left;
    return std::fgetc(f);
  }
};

bool IsFree(const MapEntry& e) { return e.name == FREE_ENTRY; }

void SetBorderAndFloor() {
  for (int c = 0; c <= MAP_CELLS + 1; ++c)
    for (int r = 0; r <= MAP_CELLS + 1; ++r)
      SV_MAP.cells[c][r] = (c == 0 || r == 0 || c == MAP_CELLS + 1 || r == MAP_CELLS + 1) ? CELL_WALL : CELL_FREE;
}

// Reads one line of a text file ended by LF or CR LF (or the end of the
// file). Keeps the first 255 characters and skips the rest of the line.
// False when the file has no more lines.
bool ReadLine(MapFile& f, char (&line)[LINE_LIMIT + 1], int& length) {
  length = 0;
  int ch = f.get();
  if (ch == EOF) return false;
  while (ch != EOF && ch != '\n') {
    if (length < LINE_LIMIT) line[length++] = static_cast<char>(ch);
    ch = f.get();
  }
  if (length > 0 && line[length - 1] == '\r') --length;
  return true;
}

// The header is the first six characters of the first line. Missing
// characters, or a 0 byte that would end the text early, become '0': clients
// read anything but a digit as 0 anyway.
void StoreHeader(MapEntry& e, const char* line, int length) {
  for (int i = 0; i < MAP_HEADER_LENGTH; ++i) {
    char ch = i < length ? line[i] : '0';
    e.text[1 + i] = ch ? static_cast<uint8_t>(ch) : '0';
  }
}

// Appends the body rows, each followed by a CR, and returns the position of
// the last byte written. Nothing is written past position 4222, so the row
// that crosses that limit is cut there.
int StoreRows(MapEntry& e, MapFile& f) {
  char line[LINE_LIMIT + 1];
  int length = 0;
  int p = MAP_HEADER_LENGTH;
  while (p < MAP_TEXT_SIZE && ReadLine(f, line, length)) {
    for (int i = 0; i < length && p < MAP_TEXT_SIZE; ++i) e.text[++p] = static_cast<uint8_t>(line[i]);
    if (p < MAP_TEXT_SIZE) e.text[++p] = CR;
  }
  return p;
}

int FindEntryForFile() {
  for (int m = 1; m <= MAP_LIST_SIZE; ++m)
    if (IsFree(SV_MAPL[m]) || SV_MAPL[m].name == BUILTIN_NAME) return m;
  return 0;
}

void ClearCurrentMap(uint8_t entry) {
  for (int c = 1; c <= MAP_CELLS; ++c)
    for (int r = 1; r <= MAP_CELLS; ++r) SV_MAP.cells[c][r] = CELL_FREE;
  for (auto& item : SV_MAP.items) {
    item.kind = 0;
    item.respawn = 0;
  }
  SV_MAP.item_count = 0;
  SV_MAP.spawn_count = 0;
  SV_MAP.map_index = entry;
}

uint16_t CellCentre(int cell) { return static_cast<uint16_t>(CELL_SIZE * cell + CELL_SIZE / 2); }

void PlaceCell(uint8_t ch, int c, int r) {
  uint8_t cell = CELL_FREE;
  if (MAP_ISPWALL(ch)) cell = CELL_OBSTACLE;
  if (MAP_ISBWALL(ch)) cell = CELL_WALL;
  SV_MAP.cells[c][r] = cell;
  if (MAP_ISITEM(ch) && SV_MAP.item_count < MAX_ITEMS) {
    MapItem& item = SV_MAP.items[++SV_MAP.item_count];
    item = MapItem{0, CellCentre(c), CellCentre(r), ch};
  }
  // The spawn table holds 64 points; later '@' cells are plain floor.
  if (MAP_ISSPAWN(ch) && SV_MAP.spawn_count < MAX_SPAWNS) {
    SV_MAP.spawns[++SV_MAP.spawn_count] = SpawnPoint{CellCentre(c), CellCentre(r)};
  }
}

bool ValidEntry(uint8_t entry) { return entry >= 1 && entry <= MAP_LIST_SIZE; }

const char* ReasonForError(int error) {
  static char other[128];
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "not found";
    case EACCES:
    case EPERM:
      return "not readable (permission denied)";
    default:
      std::snprintf(other, sizeof other, "not readable (%s)", std::strerror(error));
      return other;
  }
}

// Opens a map for reading only; a FIFO, a device or a directory is refused
// with a console line, since reading it could wait or run for ever. On
// failure why holds the reason.
FILE* OpenMapFile(const std::string& path, const char*& why) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    why = ReasonForError(errno);
    return nullptr;
  }
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    SV_HOOKS.console_line(path + " is not a regular file: map not loaded");
    why = "not a regular file";
    return nullptr;
  }
  FILE* f = fdopen(fd, "rb");
  if (!f) {
    why = ReasonForError(errno);
    close(fd);
  }
  return f;
}

// Calls visit(character, column, row) for every cell character of a map
// text that lands on the 64 x 64 grid, the way the map is laid out.
template <typename Visit>
void ForEachCell(const uint8_t* text, Visit visit) {
  int c = 1;
  int r = 1;
  for (int p = FIRST_ROW_POSITION; p <= MAP_TEXT_SIZE && text[p] != 0 && r <= MAP_CELLS; ++p) {
    if (text[p] == CR) {
      c = 1;
      ++r;
    } else if (c <= MAP_CELLS) {
      visit(text[p], c, r);
      ++c;
    }
  }
}

// maps/NAME.vnxm in the working directory; when there is none there and the
// server runs from an installation, the shipped map of that name.
std::string MapFilePath(const std::string& name) {
  const std::string local = "maps/" + name + ".vnxm";
  if (access(local.c_str(), F_OK) == 0) return local;
  const std::string shipped = ShippedDataDir();
  if (shipped.empty()) return local;
  return shipped + "/" + local;
}

}  // namespace

void DEFAULTMAPS() {
  SetBorderAndFloor();
  for (int m = 1; m <= MAP_LIST_SIZE; ++m) {
    SV_MAPL[m].name.assign(FREE_ENTRY);
    std::memset(SV_MAPL[m].text, 0, sizeof SV_MAPL[m].text);
  }
  SV_MAPL[1].name.assign(BUILTIN_NAME);
  MAPFROMSTR(1, BUILTIN_TEXT);
}

void MAPFROMSTR(uint8_t entry, const char* text) {
  if (!ValidEntry(entry)) return;
  size_t n = std::strlen(text);
  if (n > MAP_TEXT_SIZE - 1) n = MAP_TEXT_SIZE - 1;  // keep room for the 0 byte
  std::memcpy(SV_MAPL[entry].text + 1, text, n);
}

const char* MAPFROMFILE(const ShortStr& name) {
  int m = FindEntryForFile();
  if (m == 0) return "the rotation is full (24 maps)";
  std::string path = MapFilePath(name.str());
  const char* why = nullptr;
  FILE* opened = OpenMapFile(path, why);
  if (!opened) return why;
  MapFile f{opened, MAP_FILE_READ_LIMIT};
  MapEntry& e = SV_MAPL[m];
  std::memset(e.text, 0, sizeof e.text);
  char line[LINE_LIMIT + 1];
  int length = 0;
  if (!ReadLine(f, line, length)) length = 0;
  StoreHeader(e, line, length);
  int p = StoreRows(e, f);
  std::fclose(opened);
  e.name = name;
  // The 0 byte replaces the CR of the last row. A file without rows keeps
  // its whole header and ends right after it.
  e.text[p > MAP_HEADER_LENGTH ? p : FIRST_ROW_POSITION] = 0;
  return nullptr;
}

int MAP_SPAWNCOUNT(uint8_t entry) {
  if (!ValidEntry(entry) || IsFree(SV_MAPL[entry])) return 0;
  int spawns = 0;
  ForEachCell(SV_MAPL[entry].text, [&](uint8_t ch, int, int) { spawns += MAP_ISSPAWN(ch) ? 1 : 0; });
  return spawns;
}

uint8_t MAP_FIND(std::string_view name) {
  for (int m = 1; m <= MAP_LIST_SIZE; ++m)
    if (!IsFree(SV_MAPL[m]) && SV_MAPL[m].name == name) return static_cast<uint8_t>(m);
  return 0;
}

bool MAP_INUSE(uint8_t entry) { return ValidEntry(entry) && !IsFree(SV_MAPL[entry]); }

void SV_LOADCURMAP(uint8_t entry) {
  if (!MAP_INUSE(entry)) return;
  ClearCurrentMap(entry);
  ForEachCell(SV_MAPL[entry].text, PlaceCell);
  SV_HOOKS.map_started();
}
