// Packing and unpacking of the cell texts of one list row.
#include "controls/packed_cells.h"

#include <QVarLengthArray>

#include <algorithm>

namespace kivo {

namespace {

constexpr qsizetype kMaxLength = 0x7FFFFFFF;

using Lengths = QVarLengthArray<qsizetype, 16>;

qsizetype readNumber(const QChar*& p) {
    const qsizetype first = p++->unicode();
    if ((first & 0x8000) == 0)
        return first;
    return ((first & 0x7FFF) << 16) | p++->unicode();
}

void writeNumber(QChar*& p, qsizetype n) {
    if (n < 0x8000) {
        *p++ = QChar(static_cast<char16_t>(n));
        return;
    }
    *p++ = QChar(static_cast<char16_t>(0x8000 | (n >> 16)));
    *p++ = QChar(static_cast<char16_t>(n & 0xFFFF));
}

qsizetype numberUnits(qsizetype n) {
    return n < 0x8000 ? 1 : 2;
}

// The cell lengths; `textStart` receives the offset of the first cell's text.
Lengths readLengths(const QString& packed, qsizetype* textStart) {
    Lengths lengths;
    if (packed.isEmpty()) {
        *textStart = 0;
        return lengths;
    }
    const QChar* p = packed.constData();
    const qsizetype count = readNumber(p);
    for (qsizetype i = 0; i < count; ++i)
        lengths.append(readNumber(p));
    *textStart = p - packed.constData();
    return lengths;
}

} // namespace

int PackedCells::count() const {
    if (packed_.isEmpty())
        return 0;
    const QChar* p = packed_.constData();
    return static_cast<int>(readNumber(p));
}

QStringView PackedCells::cell(int index) const {
    if (index < 0 || packed_.isEmpty())
        return {};
    const QChar* p = packed_.constData();
    const qsizetype count = readNumber(p);
    if (index >= count)
        return {};
    qsizetype offset = 0;
    qsizetype length = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype n = readNumber(p);
        if (i < index)
            offset += n;
        else if (i == index)
            length = n;
    }
    return QStringView(p + offset, length);
}

void PackedCells::setCell(int index, QStringView text) {
    if (index < 0)
        return;
    if (text.size() > kMaxLength)
        text = text.first(kMaxLength);
    qsizetype textStart = 0;
    Lengths lengths = readLengths(packed_, &textStart);
    if (index >= lengths.size())
        lengths.resize(index + 1, 0);

    qsizetype headerUnits = numberUnits(lengths.size());
    qsizetype textUnits = 0;
    for (qsizetype i = 0; i < lengths.size(); ++i) {
        const qsizetype n = i == index ? text.size() : lengths[i];
        headerUnits += numberUnits(n);
        textUnits += n;
    }
    QString packed(headerUnits + textUnits, Qt::Uninitialized);
    QChar* out = packed.data();
    writeNumber(out, lengths.size());
    for (qsizetype i = 0; i < lengths.size(); ++i)
        writeNumber(out, i == index ? text.size() : lengths[i]);
    const QChar* in = packed_.constData() + textStart;
    for (qsizetype i = 0; i < lengths.size(); ++i) {
        if (i == index)
            out = std::copy(text.begin(), text.end(), out);
        else
            out = std::copy(in, in + lengths[i], out);
        in += lengths[i]; // cells past the old end have length 0
    }
    packed_ = std::move(packed);
}

void PackedCells::insertCell(int index) {
    qsizetype textStart = 0;
    Lengths lengths = readLengths(packed_, &textStart);
    if (index < 0 || index >= lengths.size())
        return; // nothing to move: cells past the end read as empty already
    lengths.insert(index, 0);
    qsizetype headerUnits = numberUnits(lengths.size());
    for (const qsizetype n : lengths)
        headerUnits += numberUnits(n);
    const qsizetype textUnits = packed_.size() - textStart;
    QString packed(headerUnits + textUnits, Qt::Uninitialized);
    QChar* out = packed.data();
    writeNumber(out, lengths.size());
    for (const qsizetype n : lengths)
        writeNumber(out, n);
    std::copy(packed_.constData() + textStart, packed_.constData() + packed_.size(), out);
    packed_ = std::move(packed);
}

} // namespace kivo
