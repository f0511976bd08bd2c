#include "csv_reader.h"

#include <fstream>

csv_reader::csv_reader(const char* path, unsigned field_limit) : m_path(path ? path : ""), m_field_limit(field_limit)
{
}

bool csv_reader::read_record(std::istream& in, unsigned field_limit, record& fields)
{
    fields.clear();
    int c = in.get();
    if (c == std::char_traits<char>::eof())
        return false;

    std::string field;
    auto finish_field = [&] {
        if (fields.size() < field_limit)
            fields.push_back(std::move(field));
        field.clear();
    };

    for (;;) {
        if (c == '"') {
            // Quoted field: literal up to the closing quote; "" is one quote.
            for (;;) {
                c = in.get();
                if (c == std::char_traits<char>::eof())
                    break;
                if (c == '"') {
                    c = in.get();
                    if (c == '"') {
                        field.push_back('"');
                        continue;
                    }
                    break;
                }
                field.push_back(static_cast<char>(c));
            }
            // Whatever follows the closing quote ends the field as a separator would.
        } else {
            while (c != ',' && c != '\n' && c != std::char_traits<char>::eof()) {
                field.push_back(static_cast<char>(c));
                c = in.get();
            }
        }
        finish_field();
        if (c == '\n' || c == std::char_traits<char>::eof())
            return true;
        c = in.get();  // first character of the next field
        if (c == '\n' || c == std::char_traits<char>::eof()) {
            // A separator at the end of the line leaves one more, empty field.
            finish_field();
            return true;
        }
    }
}

int csv_reader::read_all(int skip)
{
    std::ifstream in(m_path, std::ios::binary);
    if (!in.is_open())
        return -1;
    m_records.clear();
    record fields;
    for (int n = 0; read_record(in, m_field_limit, fields); ++n) {
        if (n < skip)
            continue;
        for (const auto& f : fields) {
            if (!f.empty()) {
                m_records.push_back(fields);
                break;
            }
        }
    }
    return static_cast<int>(m_records.size());
}
