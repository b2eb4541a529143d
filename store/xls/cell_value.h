#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace pondera::store {

// One cell's value as the record store writes it and as files made elsewhere may hold it.
// Numbers written as Integer or Single may come back as Double after a save and reload:
// the file keeps the number, not the width it was written with.
struct CellValue {
    enum class Kind : uint8_t { Empty, Integer, Single, Double, Text, Boolean, Error };

    Kind kind = Kind::Empty;
    double number = 0;  // Integer, Single, Double; Boolean as 0/1; Error as its BIFF error code
    std::string text;   // Text, UTF-8

    static CellValue empty() { return {}; }
    static CellValue integer(int16_t v) { return {Kind::Integer, static_cast<double>(v), {}}; }
    static CellValue single(float v) { return {Kind::Single, static_cast<double>(v), {}}; }
    static CellValue real(double v) { return {Kind::Double, v, {}}; }
    static CellValue str(std::string v) { return {Kind::Text, 0, std::move(v)}; }
    static CellValue boolean(bool v) { return {Kind::Boolean, v ? 1.0 : 0.0, {}}; }
    static CellValue error(uint8_t code) { return {Kind::Error, static_cast<double>(code), {}}; }

    bool isEmpty() const { return kind == Kind::Empty; }
    bool isNumber() const {
        return kind == Kind::Integer || kind == Kind::Single || kind == Kind::Double;
    }
    friend bool operator==(const CellValue &, const CellValue &) = default;
};

}  // namespace pondera::store
