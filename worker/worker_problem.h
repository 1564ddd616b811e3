// The bytes of a problem sent to the analysis worker: numbers, texts and
// whole polyhedra, every field as PolyLib made it, rows included, so that
// the worker computes on the very same polyhedra.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "base/polylib.h"

class ProblemWriter {
public:
    void number(std::int64_t value) { bytes_.append(reinterpret_cast<const char*>(&value), sizeof value); }
    void text(const std::string& text) {
        number(static_cast<std::int64_t>(text.size()));
        bytes_ += text;
    }
    void polyhedron(const Polyhedron* p) {
        for (unsigned field : {p->Dimension, p->NbConstraints, p->NbRays, p->NbEq, p->NbBid, p->flags}) number(field);
        rows(p->Constraint, p->NbConstraints, p->Dimension + 2);
        rows(p->Ray, p->NbRays, p->Dimension + 2);
    }
    std::string take() { return std::move(bytes_); }

private:
    void rows(Value* const* values, unsigned count, unsigned columns) {
        for (unsigned r = 0; r < count; ++r)
            for (unsigned c = 0; c < columns; ++c) number(value_of(values[r][c]));
    }
    std::string bytes_;
};

// Reads what ProblemWriter wrote; every read fails once the bytes run short.
class ProblemReader {
public:
    explicit ProblemReader(const std::string& bytes) : bytes_(bytes) {}
    bool number(std::int64_t& value) {
        if (bytes_.size() - position_ < sizeof value) return false;
        std::memcpy(&value, bytes_.data() + position_, sizeof value);
        position_ += sizeof value;
        return true;
    }
    bool count(std::int64_t& value, std::size_t item_size) {
        return number(value) && value >= 0 && static_cast<std::uint64_t>(value) <= left() / item_size;
    }
    bool text(std::string& text) {
        std::int64_t size;
        if (!count(size, 1)) return false;
        text.assign(bytes_, position_, static_cast<std::size_t>(size));
        position_ += static_cast<std::size_t>(size);
        return true;
    }
    // Null when the bytes run short or PolyLib could not allocate.
    PolyhedronPtr polyhedron() {
        std::int64_t fields[6];
        for (std::int64_t& field : fields)
            if (!number(field) || field < 0 || field > UINT32_MAX) return nullptr;
        const auto dimension = static_cast<unsigned>(fields[0]);
        const auto constraints = static_cast<unsigned>(fields[1]);
        const auto rays = static_cast<unsigned>(fields[2]);
        std::uint64_t values = (std::uint64_t{constraints} + rays) * (std::uint64_t{dimension} + 2);
        if (values > left() / sizeof(std::int64_t)) return nullptr;
        Polyhedron* p = nullptr;
        if (!polylib_guarded([&] { p = Polyhedron_Alloc(dimension, constraints, rays); }) || !p) return nullptr;
        PolyhedronPtr owned(p);
        p->NbEq = static_cast<unsigned>(fields[3]);
        p->NbBid = static_cast<unsigned>(fields[4]);
        p->flags = static_cast<unsigned>(fields[5]);
        rows(p->Constraint, p->NbConstraints, p->Dimension + 2);
        rows(p->Ray, p->NbRays, p->Dimension + 2);
        return owned;
    }

private:
    std::size_t left() const { return bytes_.size() - position_; }
    void rows(Value** values, unsigned count, unsigned columns) {
        std::int64_t value = 0;
        for (unsigned r = 0; r < count; ++r)
            for (unsigned c = 0; c < columns; ++c)
                if (number(value)) value_set_si(values[r][c], value);
    }
    const std::string& bytes_;
    std::size_t position_ = 0;
};
