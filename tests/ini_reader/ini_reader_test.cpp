// One table of settings files and queries, read through KERNEL32's
// GetPrivateProfileIntA under Wine: what a file a player writes reads as,
// where the plugin's own reading of it runs. What Quillmere.ini tells a
// player about odd values (a letter reads as 0, an empty value gives the
// default) stands or falls here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>

#include "host/platform.h"
#include "tests/common/player_facts.h"
#include "tests/common/working_folder.h"

namespace {

struct IniCase {
  const char* name;
  const char* file;  // null: no file at all
  std::size_t size;  // the file's bytes, NULs included
  const char* section;
  const char* key;
  std::int32_t defaultValue;
  std::uint32_t expected;
};

// The file as a literal whose length counts embedded NULs.
#define FILE_TEXT(text) text, sizeof(text) - 1
#define NO_FILE nullptr, 0

const IniCase iniCases[] = {
    // Missing pieces give the default.
    {"no file", NO_FILE, "keys", "quillmere", 78, 78},
    {"empty file", FILE_TEXT(""), "keys", "quillmere", 78, 78},
    {"other section", FILE_TEXT("[other]\nquillmere=76\n"), "keys", "quillmere", 78, 78},
    {"other key", FILE_TEXT("[keys]\nquillmere_modifier=17\n"), "keys", "quillmere", 78, 78},
    {"key before any section", FILE_TEXT("quillmere=76\n[keys]\n"), "keys", "quillmere", 78, 78},
    {"empty value", FILE_TEXT("[keys]\nquillmere=\n"), "keys", "quillmere", 78, 78},
    {"blank value", FILE_TEXT("[keys]\nquillmere=  \t\n"), "keys", "quillmere", 78, 78},
    {"key without '='", FILE_TEXT("[keys]\nquillmere\n"), "keys", "quillmere", 78, 78},
    {"empty value, modifier", FILE_TEXT("[keys]\nquillmere_modifier=\n"), "keys",
     "quillmere_modifier", -1, Minus1},
    {"empty quotes", FILE_TEXT("[keys]\nquillmere=\"\"\n"), "keys", "quillmere", 78, 78},

    // Line ends, marks and blanks.
    {"LF", FILE_TEXT("[keys]\nquillmere=76\n"), "keys", "quillmere", 78, 76},
    {"CRLF", FILE_TEXT("[keys]\r\nquillmere=76\r\n"), "keys", "quillmere", 78, 76},
    {"CR alone", FILE_TEXT("[keys]\rquillmere_modifier=17\rquillmere=76"), "keys", "quillmere", 78,
     76},
    {"no line end at the end", FILE_TEXT("[keys]\nquillmere=76"), "keys", "quillmere", 78, 76},
    {"UTF-8 byte-order mark", FILE_TEXT("\xEF\xBB\xBF[keys]\r\nquillmere=76\r\n"), "keys",
     "quillmere", 78, 76},
    {"UTF-16LE with its mark",
     FILE_TEXT("\xFF\xFE[\0k\0e\0y\0s\0]\0\r\0\n\0q\0u\0i\0l\0l\0m\0e\0r\0e\0=\0"
               "7\0"
               "6\0\r\0\n\0"),
     "keys", "quillmere", 78, 76},
    {"UTF-8, a stray byte inside a name",
     FILE_TEXT("\xEF\xBB\xBF[keys]\nquillm\xBB"
               "ere=76\n"),
     "keys", "quillmere", 78, 78},
    {"names in other case", FILE_TEXT("[KEYS]\nQuillmere=76\n"), "keys", "quillmere", 78, 76},
    {"blanks around '='", FILE_TEXT("[keys]\n\tquillmere  =  76  \n"), "keys", "quillmere", 78, 76},
    {"blanks inside the brackets", FILE_TEXT("[ keys ]\nquillmere=76\n"), "keys", "quillmere", 78,
     76},
    {"text after the bracket", FILE_TEXT("  [keys]  ; the hotkey\nquillmere=76\n"), "keys",
     "quillmere", 78, 76},
    {"indented line after a key", FILE_TEXT("[keys]\nquillmere_modifier=17\n    quillmere=76\n"),
     "keys", "quillmere", 78, 76},
    {"Ctrl-Z at the end", FILE_TEXT("[keys]\nquillmere=76\n\x1A"), "keys", "quillmere", 78, 76},
    {"Ctrl-Z alone as the value", FILE_TEXT("[keys]\nquillmere=\x1A\n"), "keys", "quillmere", 78,
     78},
    {"control character before the value",
     FILE_TEXT("[keys]\nquillmere=\x01"
               "76\n"),
     "keys", "quillmere", 78, 76},
    {"no-break space before the value",
     FILE_TEXT("[keys]\nquillmere=\xA0"
               "76\n"),
     "keys", "quillmere", 78, 0},

    // Comments are not syntax: such lines are keys nobody asks for.
    {"';' line, then the key", FILE_TEXT("[keys]\n;quillmere=5\nquillmere=76\n"), "keys",
     "quillmere", 78, 76},
    {"';' line alone", FILE_TEXT("[keys]\n; quillmere=5\n"), "keys", "quillmere", 78, 78},
    {"'#' line alone", FILE_TEXT("[keys]\n# quillmere=5\n"), "keys", "quillmere", 78, 78},
    {"';' after the value", FILE_TEXT("[keys]\nquillmere=76 ; the L key\n"), "keys", "quillmere",
     78, 76},
    {"'[' without ']' is a key", FILE_TEXT("[keys]\n[more\nquillmere=76\n"), "keys", "quillmere",
     78, 76},

    // Repeats: the first section of the name, and its first key, count.
    {"key twice", FILE_TEXT("[keys]\nquillmere=75\nquillmere=76\n"), "keys", "quillmere", 78, 75},
    {"section twice, key in the first", FILE_TEXT("[keys]\nquillmere=75\n[keys]\nquillmere=76\n"),
     "keys", "quillmere", 78, 75},
    {"section twice, key in the second",
     FILE_TEXT("[keys]\nquillmere_modifier=17\n[other]\n[keys]\nquillmere=76\n"), "keys",
     "quillmere", 78, 78},

    // Separators other than '='.
    {"colon", FILE_TEXT("[keys]\nquillmere:76\n"), "keys", "quillmere", 78, 78},
    {"'=' twice", FILE_TEXT("[keys]\nquillmere==76\n"), "keys", "quillmere", 78, 0},

    // Numbers.
    {"minus one", FILE_TEXT("[keys]\nquillmere_modifier=-1\n"), "keys", "quillmere_modifier", 17,
     Minus1},
    {"minus two", FILE_TEXT("[keys]\nquillmere_modifier=-2\n"), "keys", "quillmere_modifier", -1,
     0xFFFFFFFE},
    {"plus sign", FILE_TEXT("[keys]\nquillmere=+76\n"), "keys", "quillmere", 78, 76},
    {"leading zero is decimal", FILE_TEXT("[keys]\nquillmere=017\n"), "keys", "quillmere", 78, 17},
    {"hexadecimal", FILE_TEXT("[keys]\nquillmere=0x4C\n"), "keys", "quillmere", 78, 76},
    {"hexadecimal, capital X", FILE_TEXT("[keys]\nquillmere=0X4C\n"), "keys", "quillmere", 78, 0},
    {"negative hexadecimal", FILE_TEXT("[keys]\nquillmere_modifier=-0x2\n"), "keys",
     "quillmere_modifier", -1, 0xFFFFFFFE},
    {"octal and binary", FILE_TEXT("[keys]\nquillmere=0o17\nquillmere_modifier=0b101\n"), "keys",
     "quillmere_modifier", -1, 5},
    {"double quotes", FILE_TEXT("[keys]\nquillmere=\"76\"\n"), "keys", "quillmere", 78, 76},
    {"single quotes", FILE_TEXT("[keys]\nquillmere='-1'\n"), "keys", "quillmere", 78, Minus1},
    {"an opening quote alone", FILE_TEXT("[keys]\nquillmere=\"76\n"), "keys", "quillmere", 78, 0},
    {"largest 32-bit value", FILE_TEXT("[keys]\nquillmere=4294967295\n"), "keys", "quillmere", 78,
     0xFFFFFFFF},
    {"2^32 wraps to 0", FILE_TEXT("[keys]\nquillmere=4294967296\n"), "keys", "quillmere", 78, 0},
    {"2^32 + 76 wraps to 76", FILE_TEXT("[keys]\nquillmere=4294967372\n"), "keys", "quillmere", 78,
     76},
    {"beyond 32 bits, negative", FILE_TEXT("[keys]\nquillmere=-4294967297\n"), "keys", "quillmere",
     78, Minus1},
    {"cut to 29 characters", FILE_TEXT("[keys]\nquillmere=000000000000000000000000000076\n"),
     "keys", "quillmere", 78, 7},
    {"quoted, the cut takes a digit",
     FILE_TEXT("[keys]\nquillmere=\"00000000000000000000000000076\"\n"), "keys", "quillmere", 78,
     7},

    // Letters, names and other text.
    {"a letter", FILE_TEXT("[keys]\nquillmere=N\n"), "keys", "quillmere", 78, 0},
    {"a key name", FILE_TEXT("[keys]\nquillmere_modifier=Ctrl\n"), "keys", "quillmere_modifier", -1,
     0},
    {"digits, then letters", FILE_TEXT("[keys]\nquillmere=12abc\n"), "keys", "quillmere", 78, 12},
    {"minus alone", FILE_TEXT("[keys]\nquillmere_modifier=-\n"), "keys", "quillmere_modifier", -1,
     0},
    {"minus, blank, digit", FILE_TEXT("[keys]\nquillmere_modifier=- 1\n"), "keys",
     "quillmere_modifier", -1, 0},
    {"blank inside the digits", FILE_TEXT("[keys]\nquillmere=7 6\n"), "keys", "quillmere", 78, 7},
    {"NUL inside the value",
     FILE_TEXT("[keys]\nquillmere=7\0"
               "6\n"),
     "keys", "quillmere", 78, 7},
    {"NUL ends a key's name", FILE_TEXT("[keys]\nquillmere\0:old=76\n"), "keys", "quillmere", 78,
     76},
};

class IniReader : public ::testing::Test {
 private:
  WorkingFolder folder_;  // where each row's file is written as the plugin names it
};

TEST_F(IniReader, ReadsEveryRowAsKernel32Does) {
  for (const IniCase& row : iniCases) {
    std::remove("Quillmere.ini");
    if (row.file != nullptr) {
      std::ofstream("Quillmere.ini", std::ios::binary).write(row.file, static_cast<long>(row.size));
    }
    EXPECT_EQ(GetPrivateProfileIntA(row.section, row.key, row.defaultValue, ".\\Quillmere.ini"),
              row.expected)
        << row.name;
  }
}

}  // namespace
