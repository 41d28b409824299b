#pragma once

#include "db/Value.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vek::db {

enum class FieldType { String, Integer, LargeInt, Float, Decimal, DateTime, Blob, Nested };

/// Horizontal placement of a field's text in a grid; Default puts numbers right, the rest left.
enum class FieldAlign { Default, Left, Right, Center };

/// One field of an in-memory table.
struct FieldDef {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;              // String: longest text in bytes, longer texts are cut (0: no limit)
    int scale = 0;             // Decimal: digits after the decimal point
    std::string label;         // column caption; the name when empty
    std::string displayFormat; // number or date-time picture (util/Format.h)
    FieldAlign alignment = FieldAlign::Default;
    /// Replaces the display format when set, e.g. a text built from the value.
    std::function<std::string(const Value&)> displayText;
    std::vector<FieldDef> nestedFields; // Nested: the fields of each record's own table
    // Where a provider read the field: the table and its column there. Empty for fields that live
    // only in memory; those are never written back.
    std::string relation;
    std::string column;

    static FieldDef text(std::string name, int size);
    static FieldDef integer(std::string name);
    static FieldDef largeInt(std::string name);
    static FieldDef real(std::string name);
    static FieldDef decimal(std::string name, int scale);
    static FieldDef dateTime(std::string name);
    static FieldDef blob(std::string name);
    static FieldDef nested(std::string name, std::vector<FieldDef> fields);

    FieldDef withLabel(std::string text) const;
    FieldDef withFormat(std::string pattern) const;
    FieldDef withAlignment(FieldAlign align) const;

    const std::string& caption() const { return label.empty() ? name : label; }
    bool isNumeric() const;
};

/// `v` converted to what the field holds (a text cut to the field's size, a decimal rounded to its
/// scale, half away from zero). Null stays null. Throws DbError when the value does not convert.
Value coerceToField(const FieldDef& field, const Value& v);

/// Orders values of one field: null first, texts byte by byte, numbers by value.
int compareValues(const Value& a, const Value& b);

/// The field's text for a grid, in the station's number and date formats; a null gives the
/// empty text unless the field has its own display text.
std::string displayTextOf(const FieldDef& field, const Value& v);

/// "A;B;C" → {"A", "B", "C"}, blanks around each name removed, empty names dropped.
std::vector<std::string> splitFieldNames(std::string_view names);

} // namespace vek::db
