// Test-only Windows program: runs kelmora.exe on this program's own console
// and reads the cells back, to check what the program placed there and in
// which attributes, where its cursor was left, and that the console's own
// attribute is unchanged.
//
//   win_console.exe PATH_OF_KELMORA_EXE REPORT_FILE
//
// Needs a real console: under Wine, run it inside a terminal (script, tmux);
// win_console_check does. Writes its findings to REPORT_FILE, not to the
// console under test; exit code 0 when every check held.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr WORD kRed = 0x0C;
constexpr WORD kGrey = 0x07;
constexpr WORD kWhite = 0x0F;

std::vector<std::string> g_problems;

void Problem(const std::string& text) { g_problems.push_back(text); }

HANDLE Output() { return GetStdHandle(STD_OUTPUT_HANDLE); }

struct Screen {
  int width = 0;
  std::vector<std::string> chars;
  std::vector<std::vector<WORD>> attributes;
};

// The screen as last read, shown in the report when a check fails.
Screen g_last_screen;

Screen ReadScreen() {
  Screen& screen = g_last_screen;
  screen = Screen();
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(Output(), &info)) return screen;
  screen.width = info.dwSize.X;
  // A few rows a call: a console may refuse big transfers.
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(screen.width));
  for (SHORT row = 0; row < info.dwSize.Y; ++row) {
    SMALL_RECT region = {0, row, static_cast<SHORT>(screen.width - 1), row};
    std::string chars;
    std::vector<WORD> attributes;
    if (ReadConsoleOutputA(Output(), cells.data(), COORD{info.dwSize.X, 1}, COORD{0, 0}, &region)) {
      for (const CHAR_INFO& cell : cells) {
        chars += cell.Char.AsciiChar;
        attributes.push_back(cell.Attributes);
      }
    }
    screen.chars.push_back(chars);
    screen.attributes.push_back(attributes);
  }
  return screen;
}

// Each row up to the last one that is not blank, as runs of one attribute:
// [0C]" x " [07]"text".
void DumpScreen(std::FILE* report, const Screen& screen) {
  std::size_t rows = screen.chars.size();
  while (rows > 0 && screen.chars[rows - 1].find_first_not_of(' ') == std::string::npos) --rows;
  for (std::size_t row = 0; row < rows; ++row) {
    const std::string& chars = screen.chars[row];
    std::size_t end = chars.find_last_not_of(' ') + 1;
    std::fprintf(report, "row %2d:", static_cast<int>(row));
    for (std::size_t x = 0; x < end && x < chars.size(); ++x) {
      WORD attribute = screen.attributes[row][x];
      if (x == 0 || attribute != screen.attributes[row][x - 1])
        std::fprintf(report, "%s[%02X]\"", x == 0 ? " " : "\" ", attribute);
      auto byte = static_cast<unsigned char>(chars[x]);
      if (byte < 0x20 || byte > 0x7E) {
        std::fprintf(report, "\\x%02X", byte);
      } else {
        std::fputc(byte, report);
      }
    }
    std::fprintf(report, "%s\n", end > 0 ? "\"" : "");
  }
}

// The lowest row that holds `text`, and the column where it starts.
bool FindLast(const Screen& screen, const std::string& text, int* row, int* column) {
  for (int r = static_cast<int>(screen.chars.size()) - 1; r >= 0; --r) {
    std::size_t at = screen.chars[static_cast<std::size_t>(r)].find(text);
    if (at != std::string::npos) {
      *row = r;
      *column = static_cast<int>(at);
      return true;
    }
  }
  return false;
}

struct Piece {
  std::string text;
  WORD attribute;
};

// Checks that row `row` shows the pieces one after another from `column`,
// each in its attribute.
void ExpectCells(const Screen& screen, int row, int column, const std::vector<Piece>& pieces,
                 const std::string& what) {
  if (row < 0 || row >= static_cast<int>(screen.chars.size())) {
    Problem(what + ": row " + std::to_string(row) + " is not on the screen");
    return;
  }
  const std::string& chars = screen.chars[static_cast<std::size_t>(row)];
  const std::vector<WORD>& attributes = screen.attributes[static_cast<std::size_t>(row)];
  auto x = static_cast<std::size_t>(column);
  for (const Piece& piece : pieces) {
    for (char c : piece.text) {
      if (x >= chars.size()) {
        Problem(what + ": row " + std::to_string(row) + " ends early");
        return;
      }
      // The first wrong cell of a row is enough to tell what went wrong.
      if (chars[x] != c || attributes[x] != piece.attribute) {
        char detail[160];
        std::snprintf(detail, sizeof detail,
                      ": column %d of row %d is 0x%02X in 0x%02X, expected 0x%02X in 0x%02X",
                      static_cast<int>(x), row, static_cast<unsigned char>(chars[x]), attributes[x],
                      static_cast<unsigned char>(c), piece.attribute);
        Problem(what + detail);
        return;
      }
      ++x;
    }
  }
}

// Runs the copy of kelmora.exe in `folder`, with `arguments`, on this
// console; its exit code, or -1.
int Run(const std::string& folder, const std::string& arguments) {
  std::string program = folder + "\\kelmora.exe";
  std::string command_line = "kelmora.exe" + (arguments.empty() ? "" : " " + arguments);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    Problem("cannot start " + command_line);
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    Problem(command_line + " did not end within a minute");
    TerminateProcess(process.hProcess, 1);
  }
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

std::string MakeScratchFolder(const std::string& program) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder =
      std::string(temp) + "kelmora-console-" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(folder.c_str(), nullptr);
  if (!CopyFileA(program.c_str(), (folder + "\\kelmora.exe").c_str(), FALSE))
    Problem("cannot copy " + program);
  HANDLE settings = CreateFileA((folder + "\\kelmora.ctl").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (settings == INVALID_HANDLE_VALUE) Problem("cannot write kelmora.ctl");
  CloseHandle(settings);
  return folder;
}

void RemoveScratchFolder(const std::string& folder) {
  DeleteFileA((folder + "\\kelmora.exe").c_str());
  DeleteFileA((folder + "\\kelmora.ctl").c_str());
  RemoveDirectoryA(folder.c_str());
}

void ExpectCursorAt(int x, int y, const std::string& what) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  GetConsoleScreenBufferInfo(Output(), &info);
  if (info.dwCursorPosition.X != x || info.dwCursorPosition.Y != y)
    Problem(what + ": cursor at " + std::to_string(info.dwCursorPosition.X) + "," +
            std::to_string(info.dwCursorPosition.Y) + ", expected " + std::to_string(x) + "," +
            std::to_string(y));
}

void CheckCommandLineError(const std::string& folder) {
  int code = Run(folder, "");
  if (code != 2) Problem("no argument: exit code " + std::to_string(code) + ", expected 2");
  Screen screen = ReadScreen();
  int row = 0, column = 0;
  if (!FindLast(screen, " \xFE error in command line!", &row, &column) || column != 0) {
    Problem("no argument: the error line is not at the start of a row");
    return;
  }
  ExpectCells(screen, row - 2, 0, {{"Toval's template processor v1.0", kGrey}}, "banner");
  ExpectCells(screen, row, 0, {{" \xFE ", kRed}, {"error in command line!", kGrey}}, "error line");
  ExpectCells(screen, row + 1, 0, {{"   ", kWhite}, {"usage: kelmora.exe <filename>", kGrey}},
              "usage line");
  ExpectCells(screen, row + 2, 0, {{"   exiting...", kRed}}, "exiting line");
  ExpectCursorAt(0, row + 3, "no argument");
}

void CheckMissingFile(const std::string& folder) {
  int code = Run(folder, "nothere.txt");
  if (code != 3) Problem("missing file: exit code " + std::to_string(code) + ", expected 3");
  Screen screen = ReadScreen();
  int row = 0, column = 0;
  if (!FindLast(screen, "reading config...  \xFE [nothere.txt] NOT found!", &row, &column) ||
      column != 0) {
    Problem("missing file: the not-found line is not at the start of a row");
    return;
  }
  ExpectCells(screen, row, 0,
              {{"reading config... ", kGrey},
               {" \xFE ", kRed},
               {"[nothere.txt] ", kGrey},
               {"NOT", kRed},
               {" found!", kGrey}},
              "not-found line");
  ExpectCells(screen, row + 1, 0, {{"   aborting...", kRed}}, "aborting line");
  ExpectCursorAt(0, row + 2, "missing file");
}

// Runs kelmora.exe without argument until its lines have gone past the last
// row: what was on the screen moves up, in its own attributes, and the new
// last row is blank in the attribute current at the line feed.
void CheckScrolling(const std::string& folder) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  GetConsoleScreenBufferInfo(Output(), &info);
  // Each run writes six rows.
  int runs = info.dwSize.Y / 6 + 2;
  if (runs > 200) {
    Problem("the console has " + std::to_string(info.dwSize.Y) + " rows, too many to fill");
    return;
  }
  for (int run = 0; run < runs; ++run) {
    int code = Run(folder, "");
    if (code != 2) {
      Problem("scrolling: exit code " + std::to_string(code) + ", expected 2");
      return;
    }
  }
  Screen screen = ReadScreen();
  int last = info.dwSize.Y - 1;
  // The last run began on the row where the one before left the cursor.
  ExpectCells(screen, last - 7, 0, {{"   exiting...", kRed}}, "exiting line moved up");
  ExpectCells(screen, last - 5, 0, {{"Toval's template processor v1.0", kGrey}}, "banner moved up");
  ExpectCells(screen, last - 3, 0, {{" \xFE ", kRed}, {"error in command line!", kGrey}},
              "error line moved up");
  ExpectCells(screen, last - 2, 0, {{"   ", kWhite}, {"usage: kelmora.exe <filename>", kGrey}},
              "usage line moved up");
  ExpectCells(screen, last - 1, 0, {{"   exiting...", kRed}}, "last exiting line");
  ExpectCells(screen, last, 0, {{std::string(static_cast<std::size_t>(screen.width), ' '), kGrey}},
              "blank last row");
  ExpectCursorAt(0, last, "scrolling");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: win_console PATH_OF_KELMORA_EXE REPORT_FILE\n");
    return 2;
  }
  std::FILE* report = std::fopen(argv[2], "wb");
  if (report == nullptr) return 2;
  CONSOLE_SCREEN_BUFFER_INFO before;
  if (!GetConsoleScreenBufferInfo(Output(), &before)) {
    std::fprintf(report, "no console: run this inside a terminal\n");
    std::fclose(report);
    return 1;
  }
  std::string folder = MakeScratchFolder(argv[1]);
  if (g_problems.empty()) {
    CheckCommandLineError(folder);
    CheckMissingFile(folder);
    CheckScrolling(folder);
  }
  RemoveScratchFolder(folder);

  CONSOLE_SCREEN_BUFFER_INFO after;
  GetConsoleScreenBufferInfo(Output(), &after);
  if (after.wAttributes != before.wAttributes)
    Problem("the console's attribute changed from " + std::to_string(before.wAttributes) + " to " +
            std::to_string(after.wAttributes));

  for (const std::string& problem : g_problems) std::fprintf(report, "FAIL %s\n", problem.c_str());
  if (!g_problems.empty()) {
    std::fprintf(report, "the console as last read:\n");
    DumpScreen(report, g_last_screen);
  }
  std::fprintf(report, "%s\n",
               g_problems.empty() ? "console cells as expected" : "console check failed");
  std::fclose(report);
  return g_problems.empty() ? 0 : 1;
}
