// The texts of one list row, packed into a single string so that large lists stay small.
#pragma once

#include <QString>
#include <QStringView>

namespace kivo {

// One allocation per row instead of one per cell: the string starts with the cell count and the
// length of every cell, followed by the cell texts back to back. A count or length takes one
// unit when it is below 0x8000 and two units otherwise.
class PackedCells {
public:
    int count() const;
    // Empty for a cell that was never set.
    QStringView cell(int index) const;
    // Sets one cell, adding empty cells before it as needed. Negative indexes are ignored.
    void setCell(int index, QStringView text);
    // Inserts an empty cell before `index`, moving that cell and those after it one place on.
    void insertCell(int index);

private:
    QString packed_;
};

} // namespace kivo
