// The program's message table: 37 texts by id, in English (language 0) and Japanese (1).
#pragma once

#include "general_tools/TextCodeTable.h"

// Ids of the texts that the program shows.
enum : int {
    MSG_MANUAL_PATH = 9,
    MSG_MANUAL_MISSING = 10,
    MSG_NOW_IMPORTING = 11,
    MSG_NOW_EXPORTING = 12,
    MSG_NOW_RIPPING = 16,
    MSG_SAVE_CHANGES = 17,
    MSG_OK_TO_DELETE = 18,
    MSG_OVERWRITE = 19,
    MSG_EDITS_DISCARDED = 20,
    MSG_DELETE_PROTECTED = 21,
    MSG_IMPORT_FAILED = 22,
    MSG_EXPORT_FAILED = 23,
    MSG_DELETE_FAILED = 24,
    MSG_RIP_FAILED = 25,
    MSG_DESTINATION_FULL = 26,
    MSG_CARD_FULL = 27,
    MSG_UNSUPPORTED_FORMAT = 28,
    MSG_READ_FAILED = 29,
    MSG_WRITE_FAILED = 30,
    MSG_SERVER_UNREACHABLE = 31,
    MSG_EJECT_FAILED = 32,
    MSG_UNIT_NOT_FOUND = 33,
    MSG_TOO_MANY_SONGS = 35,
    MSG_TOO_MANY_NAMES = 36,
    MSG_SELECT_CD_INFORMATION = 38,
    MSG_SEVERAL_FOUND = 39,
    MSG_OBTAIN_AGAIN = 40,
};

// The process-wide table.
GT::CTextCodeTable& GetTextCodeTable();
// Empties the table and stores every row in both languages.
void LoadMessageTable();
