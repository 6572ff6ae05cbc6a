// PATCHIT, the recalculation run: reads a range of report dates in a small
// form and recalculates the MMWR week and year of every record of both
// morbidity tables in that range, along their report-date orders.
#include "module/export.h"
#include "module/progress_line.h"
#include "runtime/api/tables.h"

namespace vornex {
namespace {

// Literal strings of the patch unit, created when the module is loaded.
const rt::Value kPrompt = "Enter begin and end dates or press <Esc> to exit:";
const rt::Value kStartLabel = "Beginning Report Date:";
const rt::Value kEndLabel = "Ending Report Date:";
const rt::Value kStartName = "dStart";
const rt::Value kEndName = "dEnd";
const rt::Value kCountLabel = "Number re-calculated: ";
const rt::Value kBlank = " ";
const rt::Value kPressAnyKey = "Press any key to continue.";
const rt::Value kLogMessage = "Updated MMWR values";
const rt::Value kProgramTag = "VORNEX";
const rt::Value kRangeSeparator = " - ";
const rt::Value kOn = "ON";
const rt::Value kOff = "OFF";

constexpr int kEsc = 27;

// Functions the run calls for every record.
const rt::FunctionName kEof("EOF");
const rt::FunctionName kCalcMmwr("CALCMMWR");
const rt::FunctionName kDate("DATE");
const rt::FunctionName kTime("TIME");
const rt::FunctionName kDbSkip("DBSKIP");

// One table of the run: how it is selected, indexed and sought.
struct RunTable {
  rt::Value alias;
  rt::Value bag;
  int order;
  rt::Value name;
};
const RunTable kTables[] = {
    {"morbrept", "mor01", 5, "MORBREPT"},
    {"morbupld", "mup01", 1, "MORBUPLD"},
};

bool DateOnOrAfter(const rt::Value& a, const rt::Value& b) {
  return a.date().day >= b.date().day;
}

// Builds, displays and appends one date field of the form at the cursor.
void AddDateField(const rt::CellPtr& variable, const rt::Value& name,
                  const rt::Value& valid) {
  rt::Value get_class = rt::Call("GET");
  rt::Value anchor = rt::Call("ANCHORCB", {rt::Value::Reference(variable)});
  rt::Value row = rt::Call("ROW");
  rt::Value col = rt::Value(rt::Call("COL").num() + 1);
  rt::Value get = rt::Send(get_class, "new",
                           {row, col, anchor, name, rt::Value(), rt::Value(),
                            valid, rt::Value()});
  rt::Value shown = rt::Send(get, "display");
  rt::Call("AADD", {rt::GetMemvar("GetList"), shown});
}

// Walks one table from dStart to dEnd along its date order, recalculating
// every record; returns the number of records changed.
int RecalculateTable(rt::Frame& frame, const RunTable& table,
                     const rt::Value& start, const rt::Value& end,
                     const rt::ArrayPtr& work) {
  RT_LINE(frame);
  rt::Call("DBSELECTAREA", {table.alias});
  rt::Call("ORDLISTCLEAR");
  rt::Call("ORDLISTADD", {table.bag});
  rt::Call("ORDSETFOCUS", {table.order});
  RT_LINE(frame);
  rt::Call("SET", {rt::kSetSoftSeek, kOn});
  rt::Call("SEEKER", {table.name, table.order, start});
  rt::Call("SET", {rt::kSetSoftSeek, kOff});

  // Fields are read and written through the table's alias.
  const int area = rt::tables::AreaOfAlias(table.alias.str());
  const int rept_dt = rt::tables::FieldIndex(area, "REPT_DT");
  const int mmwr_week = rt::tables::FieldIndex(area, "MMWR_WEEK");
  const int mmwr_year = rt::tables::FieldIndex(area, "MMWR_YEAR");
  const int morb_dw = rt::tables::FieldIndex(area, "MORB_DW");
  const int morb_tw = rt::tables::FieldIndex(area, "MORB_TW");
  const rt::Value blanks = rt::Call("SPACE", {2});
  const rt::Value calc_args[] = {work, 1, 2, 3};

  int count = 0;
  ProgressLine progress(table.name.str());
  for (;;) {
    RT_LINE(frame);
    rt::Value date = rt::tables::GetField(area, rept_dt);
    if (!DateOnOrAfter(date, start)) break;
    if (!DateOnOrAfter(end, date)) break;
    if (rt::Call(kEof).is_true()) break;
    work->items[0] = blanks;
    work->items[1] = blanks;
    work->items[2] = date;
    rt::Call(kCalcMmwr, calc_args);
    rt::tables::PutField(area, mmwr_week, work->items[0]);
    rt::tables::PutField(area, mmwr_year, work->items[1]);
    rt::tables::PutField(area, morb_dw, rt::Call(kDate));
    rt::tables::PutField(area, morb_tw, rt::Call(kTime));
    ++count;
    progress.Step();
    rt::Call(kDbSkip);
  }
  return count;
}

}  // namespace

rt::Value Patchit() {
  rt::Frame frame("PATCHIT", {});
  RT_LINE(frame);
  double count = 0;
  rt::ArrayPtr work = rt::Call("ARRAY", {3}).array();
  rt::CellPtr start = rt::NewCell(rt::Call("CTOD", {""}));
  rt::CellPtr end = rt::NewCell(rt::Call("CTOD", {""}));

  // The two validation blocks, compiled with the run over its variables.
  rt::Value start_valid = rt::MakeBlock("(B)PATCHIT@0000", [start](rt::Frame&) {
    return rt::Value(!rt::Call("EMPTY", {start->value}).is_true());
  });
  rt::Value end_valid = rt::MakeBlock("(B)PATCHIT@0001", [start, end](rt::Frame&) {
    return rt::Value(!rt::Call("EMPTY", {end->value}).is_true() &&
                     DateOnOrAfter(end->value, start->value));
  });

  for (;;) {
    RT_LINE(frame);
    rt::Call("DEVPOS", {8, 1});
    rt::Call("DEVOUT", {kPrompt});
    RT_LINE(frame);
    rt::Call("DEVPOS", {10, 4});
    rt::Call("DEVOUT", {kStartLabel});
    AddDateField(start, kStartName, start_valid);
    RT_LINE(frame);
    rt::Call("DEVPOS", {12, 4});
    rt::Call("DEVOUT", {kEndLabel});
    AddDateField(end, kEndName, end_valid);

    RT_LINE(frame);
    rt::Call("SAVE_CURSOR", {1});
    RT_LINE(frame);
    rt::Call("READMODAL", {rt::GetMemvar("GetList")});
    rt::AssignMemvar("GetList", rt::NewArray());
    RT_LINE(frame);
    rt::Call("REST_CURSOR");
    RT_LINE(frame);
    if (rt::Call("LASTKEY").num() == kEsc) break;

    for (const RunTable& table : kTables) {
      count += RecalculateTable(frame, table, start->value, end->value, work);
    }

    RT_LINE(frame);
    rt::Value count_line(kCountLabel.str() +
                         rt::Call("ALLTRIM", {rt::Call("STR", {count})}).str());
    rt::Call("MSGBOX", {rt::NewArray({count_line, kBlank, kPressAnyKey}), 15, 0});
    RT_LINE(frame);
    std::string stamp = rt::Call("DTOC", {rt::Call("DATE")}).str() + " " +
                        rt::Call("TIME").str();
    std::string range = rt::Call("DTOC", {start->value}).str() + kRangeSeparator.str() +
                        rt::Call("DTOC", {end->value}).str();
    rt::Call("SYSLOG", {kLogMessage, kProgramTag, stamp, rt::NewArray({range})});
  }
  return rt::Value();
}

}  // namespace vornex
