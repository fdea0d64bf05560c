/*
 * xlcall.h - the XLL C interface between a spreadsheet host and an add-in.
 *
 * Contract between the host program (`quelstat`) and an add-in (`quelstat.xll`):
 *
 *  - The add-in is a shared library loaded with dlopen. Its entry points (xlAutoOpen, xlAutoClose,
 *    xlAutoAdd, xlAutoRemove, xlAutoRegister, xlAutoFree, xlAddInManagerInfo and every procedure it
 *    registers) are `extern "C"` symbols with default visibility; the host finds them with dlsym.
 *  - The add-in calls the host only through Excel4v(fn, result, count, args). Excel4v lives in the
 *    static library `xll` linked into the add-in; on its first successful call it finds the host's
 *    entry point with dlsym(RTLD_DEFAULT, "MdCallBack") and keeps it. When no such symbol exists in
 *    the process it returns XLRET_FAILED and touches nothing.
 *  - The host executable exports (link it with ENABLE_EXPORTS / -rdynamic):
 *        extern "C" int MdCallBack(int xlfn, int coper, XLOPER** rgpxloper, XLOPER* xloperRes);
 *    xlfn is the function number (with the 0x8000 command, 0x4000 special, 0x2000 international and
 *    0x1000 prompt bits as the caller set them), coper the argument count, rgpxloper the argument
 *    pointers (never null when coper > 0), xloperRes the result slot or null. It returns one of the
 *    XLRET_* codes.
 *  - Memory: a value the host returns with memory behind it (text, reference table, array) is handed
 *    back by the add-in with xlFree (0x4000); the add-in sets XLBIT_XLFREE (0x1000) on such results to
 *    remember that. A value the add-in returns from an export with XLBIT_DLLFREE (0x4000) set is passed
 *    back to the add-in's xlAutoFree once the host has used it.
 *  - Strings are UTF-8 bytes counted by a leading length byte (at most 255 bytes, no terminating zero
 *    required). Longer text is cut to 255 bytes, never inside a UTF-8 sequence (XlUtf8CutLength).
 *  - Value layout on 64-bit Linux: the value part is 16 bytes (it holds pointers), the type word sits
 *    after it, a value is 24 bytes. Tests of a value's type mask the type word with XLTYPE_MASK
 *    (0xAFFF) first, which drops the two ownership bits.
 *  - Registered procedure type texts use these letters: A = 16-bit boolean (short, 0 or 1),
 *    J = 32-bit signed int, P = XLOPER* (value, references already resolved), R = XLOPER* (may be a
 *    reference). The first letter is the result, the rest the arguments: "PJ" is
 *    XLOPER* f(int), "A" is short f(void), "RRRR" is XLOPER* f(XLOPER*, XLOPER*, XLOPER*).
 */
#ifndef QUELSTAT_XLL_XLCALL_H
#define QUELSTAT_XLL_XLCALL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Type word ------------------------------------------------------------------------------- */

#define XLTYPE_NUM     0x0001                    /* number (double) */
#define XLTYPE_STR     0x0002                    /* counted text */
#define XLTYPE_BOOL    0x0004                    /* boolean */
#define XLTYPE_REF     0x0008                    /* reference: sheet id and table of areas */
#define XLTYPE_ERR     0x0010                    /* error code */
#define XLTYPE_FLOW    0x0020                    /* macro flow control (not used by the add-in) */
#define XLTYPE_MULTI   0x0040                    /* array of values */
#define XLTYPE_MISSING 0x0080                    /* missing argument */
#define XLTYPE_NIL     0x0100                    /* empty */
#define XLTYPE_SREF    0x0400                    /* single-sheet reference (current sheet, one area) */
#define XLTYPE_INT     0x0800                    /* 16-bit integer */
#define XLTYPE_STR_INT (XLTYPE_STR | XLTYPE_INT) /* text plus integer (0x0802) */

#define XLBIT_XLFREE  0x1000 /* memory owned by the host: give it back with xlFree */
#define XLBIT_DLLFREE 0x4000 /* memory owned by the add-in: host calls xlAutoFree */
#define XLTYPE_MASK   0xAFFF /* type word without the two ownership bits */

/* ---- Error codes (XLTYPE_ERR) ------------------------------------------------------------------ */

#define XLERR_NULL  0  /* #NULL! */
#define XLERR_DIV0  7  /* #DIV/0! */
#define XLERR_VALUE 15 /* #VALUE! */
#define XLERR_REF   23 /* #REF! */
#define XLERR_NAME  29 /* #NAME? */
#define XLERR_NUM   36 /* #NUM! */
#define XLERR_NA    42 /* #N/A */

/* ---- Return codes of Excel4v / MdCallBack -------------------------------------------------------- */

#define XLRET_SUCCESS        0
#define XLRET_ABORT          1 /* macro halted (ESC or out of memory) */
#define XLRET_INVALID_FN     2 /* unknown function number */
#define XLRET_INVALID_COUNT  4 /* wrong number of arguments */
#define XLRET_INVALID_VALUE  8 /* an argument of the wrong type or shape */
#define XLRET_STACK_OVERFLOW 16
#define XLRET_FAILED         32 /* command-equivalent failed, or no host in the process */
#define XLRET_UNCALCED       64 /* referred to a cell not yet calculated */

/* At most this many arguments per call. */
#define XL_MAX_ARGS 32

/* ---- Value layout ---------------------------------------------------------------------------- */

/* One rectangular area: rows 0-based (16-bit, so 65536 rows), columns 0-based (8-bit, 256 columns). */
typedef struct XLREF {
    uint16_t rwFirst;
    uint16_t rwLast;
    uint8_t colFirst;
    uint8_t colLast;
} XLREF;

/* Table of areas of a reference: a 16-bit count followed by `count` areas of 6 bytes each. The table
 * is allocated with room for `count` areas; use XlMrefSize to size it. */
typedef struct XLMREF {
    uint16_t count;
    XLREF reftbl[1];
} XLMREF;

typedef uint32_t XL_SHEET_ID;

typedef struct XLOPER XLOPER;

struct XLOPER {
    union {
        double num;     /* XLTYPE_NUM */
        uint8_t* str;   /* XLTYPE_STR: str[0] = length in bytes, str[1..] the UTF-8 bytes */
        uint16_t xbool; /* XLTYPE_BOOL: 0 or 1 */
        uint16_t err;   /* XLTYPE_ERR: XLERR_* */
        int16_t w;      /* XLTYPE_INT */
        struct {
            uint16_t count; /* always 1 */
            XLREF ref;
        } sref; /* XLTYPE_SREF */
        struct {
            XLMREF* lpmref;
            XL_SHEET_ID idSheet;
        } mref; /* XLTYPE_REF */
        struct {
            XLOPER* lparray; /* rows * columns values, row by row */
            uint16_t rows;
            uint16_t columns;
        } array; /* XLTYPE_MULTI */
        struct {
            uint8_t* str;
            int16_t w;
        } strint; /* XLTYPE_STR_INT */
    } val;
    uint16_t xltype;
};

#ifdef __cplusplus
static_assert(sizeof(XLREF) == 6, "an area is 6 bytes");
static_assert(offsetof(XLMREF, reftbl) == 2, "areas follow a 16-bit count");
static_assert(sizeof(((XLOPER*)0)->val) == 16, "value part is 16 bytes on 64-bit");
static_assert(offsetof(XLOPER, xltype) == 16, "type word follows the value part");
static_assert(sizeof(XLOPER) == 24, "a value is 24 bytes");
#endif

/* Bytes to allocate for an area table holding `count` areas. */
static inline size_t XlMrefSize(uint16_t count) {
    return offsetof(XLMREF, reftbl) + (size_t)(count ? count : 1) * sizeof(XLREF);
}

/* Number of leading bytes of `text` (length `len`) that fit in `limit` bytes without splitting a
 * UTF-8 sequence. With limit 255 this is the length a counted string keeps. */
size_t XlUtf8CutLength(const char* text, size_t len, size_t limit);

/* ---- Function number bits -------------------------------------------------------------------- */

#define XLBIT_COMMAND 0x8000 /* command-equivalent (macro sheet command) */
#define XLBIT_SPECIAL 0x4000 /* special C interface function (xlFree ...) */
#define XLBIT_INTL    0x2000 /* English names and argument conventions */
#define XLBIT_PROMPT  0x1000 /* show the command's dialog */
#define XLFN_MASK     0x0FFF /* number without the bits above (keeps the command bit separately) */

/* ---- Worksheet and macro functions --------------------------------------------------------- */

#define XLF_COUNT          0
#define XLF_TEXT           48
#define XLF_NOW            74
#define XLF_SET_NAME       88
#define XLF_SELECTION      95
#define XLF_GET_FORMULA    106 /* a cell's formula; a chart item "S1": its SERIES formula */
#define XLF_GET_NAME       107
#define XLF_REFTEXT        146
#define XLF_TEXTREF        147
#define XLF_REGISTER       149
#define XLF_ADD_MENU       152
#define XLF_ADD_COMMAND    153
#define XLF_ENABLE_COMMAND 154
#define XLF_DELETE_MENU    158
#define XLF_DELETE_COMMAND 159
#define XLF_COUNTA         169
#define XLF_CANCEL_KEY     170
#define XLF_GET_BAR        182
#define XLF_GET_CELL       185
#define XLF_GET_WORKSPACE  186
#define XLF_GET_WINDOW     187
#define XLF_GET_DOCUMENT   188
#define XLF_CREATE_OBJECT  236
#define XLF_GET_OBJECT     246
#define XLF_DELETE_TOOLBAR 254
#define XLF_EVALUATE       257
#define XLF_GET_TOOLBAR    258
#define XLF_APP_TITLE      262
#define XLF_WINDOW_TITLE   263
#define XLF_ENABLE_TOOL    265
#define XLF_GET_WORKBOOK   268

/* ---- Special functions (0x4000) -------------------------------------------------------------- */

#define xlFree          (0 | XLBIT_SPECIAL)
#define xlStack         (1 | XLBIT_SPECIAL)
#define xlCoerce        (2 | XLBIT_SPECIAL)
#define xlSet           (3 | XLBIT_SPECIAL)
#define xlSheetId       (4 | XLBIT_SPECIAL)
#define xlSheetNm       (5 | XLBIT_SPECIAL)
#define xlAbort         (6 | XLBIT_SPECIAL)
#define xlGetInst       (7 | XLBIT_SPECIAL)
#define xlGetHwnd       (8 | XLBIT_SPECIAL)
#define xlGetName       (9 | XLBIT_SPECIAL)
#define xlEnableXLMsgs  (10 | XLBIT_SPECIAL)
#define xlDisableXLMsgs (11 | XLBIT_SPECIAL)

/* ---- Commands (0x8000) ----------------------------------------------------------------------- */

#define XLC_OPEN            (1 | XLBIT_COMMAND)   /* 0x8001 */
#define XLC_PAGE_SETUP      (7 | XLBIT_COMMAND)   /* 0x8007 */
#define XLC_CLOSE           (16 | XLBIT_COMMAND)  /* 0x8010 */
#define XLC_COPY            (50 | XLBIT_COMMAND)  /* 0x8032 */
#define XLC_CLEAR           (52 | XLBIT_COMMAND)  /* 0x8034 */
#define XLC_PASTE_SPECIAL   (53 | XLBIT_COMMAND)  /* 0x8035 */
#define XLC_EDIT_DELETE     (54 | XLBIT_COMMAND)  /* 0x8036 */
#define XLC_INSERT          (55 | XLBIT_COMMAND)  /* 0x8037 */
#define XLC_FORMULA_GOTO    (63 | XLBIT_COMMAND)  /* 0x803F */
#define XLC_PATTERNS        (84 | XLBIT_COMMAND)  /* 0x8054 */
#define XLC_SCALE           (87 | XLBIT_COMMAND)  /* 0x8057 */
#define XLC_FORMAT_TEXT     (89 | XLBIT_COMMAND)  /* 0x8059 */
#define XLC_HIDE            (93 | XLBIT_COMMAND)  /* 0x805D */
#define XLC_CHART_TEXT      (96 | XLBIT_COMMAND)  /* 0x8060: text of the selected chart title or axis title */
#define XLC_UNHIDE          (94 | XLBIT_COMMAND)  /* 0x805E */
#define XLC_ACTIVATE        (103 | XLBIT_COMMAND) /* 0x8067 */
#define XLC_SELECT          (109 | XLBIT_COMMAND) /* 0x806D */
#define XLC_VSCROLL         (116 | XLBIT_COMMAND) /* 0x8074 */
#define XLC_HSCROLL         (117 | XLBIT_COMMAND) /* 0x8075 */
#define XLC_NEW             (119 | XLBIT_COMMAND) /* 0x8077 */
#define XLC_CANCEL_COPY     (120 | XLBIT_COMMAND) /* 0x8078 */
#define XLC_MESSAGE         (122 | XLBIT_COMMAND) /* 0x807A */
#define XLC_FORMAT_MOVE     (128 | XLBIT_COMMAND) /* 0x8080 */
#define XLC_FORMAT_SIZE     (129 | XLBIT_COMMAND) /* 0x8081 */
#define XLC_SELECT_SPECIAL  (132 | XLBIT_COMMAND) /* 0x8084 */
#define XLC_ECHO            (141 | XLBIT_COMMAND) /* 0x808D */
#define XLC_ERROR           (165 | XLBIT_COMMAND) /* 0x80A5 */
#define XLC_SHOW_TOOLBAR    (220 | XLBIT_COMMAND) /* 0x80DC */
#define XLC_EDIT_SERIES     (228 | XLBIT_COMMAND) /* 0x80E4 */
#define XLC_ZOOM            (256 | XLBIT_COMMAND) /* 0x8100 */
#define XLC_WORKBOOK_MOVE   (282 | XLBIT_COMMAND) /* 0x811A */
#define XLC_WORKBOOK_COPY   (283 | XLBIT_COMMAND) /* 0x811B */
#define XLC_WORKBOOK_SELECT (291 | XLBIT_COMMAND) /* 0x8123 */
#define XLC_OPTIONS_VIEW    (320 | XLBIT_COMMAND) /* 0x8140 */
#define XLC_CHART_TREND     (350 | XLBIT_COMMAND) /* 0x815E */
#define XLC_WORKBOOK_INSERT (354 | XLBIT_COMMAND) /* 0x8162 */
#define XLC_WORKBOOK_DELETE (385 | XLBIT_COMMAND) /* 0x8181 */
#define XLC_WORKBOOK_NAME   (386 | XLBIT_COMMAND) /* 0x8182 */
#define XLC_ON_SHEET        (471 | XLBIT_COMMAND) /* 0x81D7 */
/* The application window's position and size in points (the tutorial places it). */
#define XLC_APP_MOVE      (170 | XLBIT_COMMAND) /* 0x80AA */
#define XLC_APP_SIZE      (171 | XLBIT_COMMAND) /* 0x80AB */
#define XLC_FORMAT_NUMBER (42 | XLBIT_COMMAND)  /* 0x802A; with XLBIT_PROMPT 0x902A shows its dialog */
/* Names and cell formatting used by the dataset model's stored names and AutoFormat. */
#define XLF_NAMES       122
#define XLC_DEFINE_NAME (61 | XLBIT_COMMAND)  /* 0x803D */
#define XLC_DELETE_NAME (110 | XLBIT_COMMAND) /* 0x806E */
#define XLC_ALIGNMENT   (43 | XLBIT_COMMAND)  /* 0x802B */
#define XLC_BORDER      (45 | XLBIT_COMMAND)  /* 0x802D */
#define XLC_FORMAT_FONT (150 | XLBIT_COMMAND) /* 0x8096 */
/* GET.CELL information type of this host: TRUE when the cell belongs to a merged area of more than
   one cell. */
#define XL_GETCELL_MERGED 100

/* ---- The call ------------------------------------------------------------------------------- */

/* Calls host function `xlfn` with `count` arguments (`args[0..count-1]`), storing the result in
 * `result` (may be null). Returns an XLRET_* code; XLRET_FAILED when no host is in the process and
 * XLRET_INVALID_COUNT when count is negative or above XL_MAX_ARGS. */
int Excel4v(int xlfn, XLOPER* result, int count, XLOPER** args);

/* Same with the arguments listed after the count (each an XLOPER*). */
int Excel4(int xlfn, XLOPER* result, int count, ...);

/* The host's entry point, as the host exports it. */
typedef int (*XlMdCallBackProc)(int xlfn, int coper, XLOPER** rgpxloper, XLOPER* xloperRes);

/* Export signatures of an add-in, as the host calls them. */
typedef int (*XlAutoProc)(void);                          /* xlAutoOpen, xlAutoClose, xlAutoAdd, xlAutoRemove */
typedef XLOPER* (*XlValueProc)(XLOPER*);                  /* xlAutoRegister, xlAddInManagerInfo */
typedef void (*XlAutoFreeProc)(XLOPER*);                  /* xlAutoFree */
typedef XLOPER* (*XlProcPJ)(int);                         /* "PJ" */
typedef short (*XlProcA)(void);                           /* "A" */
typedef short (*XlProcAJ)(int);                           /* "AJ" */
typedef XLOPER* (*XlProcRRRR)(XLOPER*, XLOPER*, XLOPER*); /* "RRRR" */

#ifdef __cplusplus
}
#endif

#endif /* QUELSTAT_XLL_XLCALL_H */
