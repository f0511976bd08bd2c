#pragma once
// Reader of the phone-book file in CSV form.

#include <istream>
#include <string>
#include <vector>

class csv_reader {
public:
    using record = std::vector<std::string>;

    // `field_limit`: the largest number of fields kept per record.
    csv_reader(const char* path, unsigned field_limit);

    // Opens the file, skips the first `skip` records and keeps the rest that have at least one
    // non-empty field. Returns the number of records kept, -1 when the file cannot be opened.
    int read_all(int skip);

    const std::vector<record>& records() const { return m_records; }

    // Reads one record (up to the next unquoted newline or the end) into `fields`, keeping at
    // most `field_limit` fields. Quoted fields take commas and newlines literally, "" stands for
    // one quote; an empty field is an empty string. Returns false when the input was already
    // at its end.
    static bool read_record(std::istream& in, unsigned field_limit, record& fields);

private:
    std::string m_path;
    unsigned m_field_limit;
    std::vector<record> m_records;
};
