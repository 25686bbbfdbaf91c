// Isoline files: the Y-Z, X-Z and X-Y sections of temperatures (units 11-13)
// and heads (units 21-23) as plain numeric files for a plotting program, one
// time slice per print time behind a header with the grid of the section.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "output/output.hpp"
#include "output/time_stamp.hpp"
#include "records/records.hpp"
#include "state/trace.hpp"

namespace gruv {

namespace {

//! One isoline file's section: which field, which plane, and how its values
//! lie in the node arrays. Value (a, r) is the a-th value of row r.
struct IsoSection {
    bool temperatures = false;  //!< TEMP in degrees Celsius, else WPOT
    int32_t fixed = 0;          //!< ISCHX, ISCHY or ISCHZ
    int kind = 0;               //!< 1 Y-Z (rows K, across J), 2 X-Z (rows K, across I), 3 X-Y (rows J, across I)

    std::ptrdiff_t offset(int a, int r) const {
        switch (kind) {
            case 1: return NodeArray<float>::offset(fixed, a, r);
            case 2: return NodeArray<float>::offset(a, fixed, r);
            default: return NodeArray<float>::offset(a, r, fixed);
        }
    }
    std::ptrdiff_t stride() const { return kind == 1 ? NodeArray<float>::stride_j : NodeArray<float>::stride_i; }
};

//! The section that unit LU carries; nothing for a unit that is no isoline
//! file or whose section index lies outside the grid (such a file receives
//! nothing: there are no values to plot).
std::optional<IsoSection> section_of_unit(const Model& m, int32_t LU) {
    IsoSection s;
    if (LU >= 11 && LU <= 13) {
        s.kind = LU - 10;
        s.temperatures = true;
    } else if (LU >= 21 && LU <= 23) {
        s.kind = LU - 20;
    } else {
        return std::nullopt;
    }
    const auto& d = m.ndim;
    const auto& p = m.ipro;
    int32_t n = 0;
    switch (s.kind) {
        case 1: s.fixed = p.ISCHX; n = d.NX; break;
        case 2: s.fixed = p.ISCHY; n = d.NY; break;
        default: s.fixed = p.ISCHZ; n = d.NZ; break;
    }
    if (s.fixed < 1 || s.fixed > n) return std::nullopt;
    return s;
}

//! Hands every row of the section, in file order, to put_temperatures (a row
//! of N1 temperatures in degrees Celsius, converted in double precision) or
//! to put_heads (the stored heads of the row at their stride).
template <class PutTemperatures, class PutHeads>
void for_each_row(const Model& m, const IsoSection& sec, int32_t N1, int32_t N2, PutTemperatures put_temperatures,
                  PutHeads put_heads) {
    const std::ptrdiff_t stride = sec.stride();
    if (sec.temperatures) {
        std::array<double, 100> row{};
        const double* T = m.temp.TEMP.data();
        for (int r = 1; r <= N2; ++r) {
            const double* base = T + sec.offset(1, r);
            for (int a = 0; a < N1; ++a) row[static_cast<std::size_t>(a)] = base[a * stride] - 273.15;
            put_temperatures(row.data());
        }
    } else {
        const float* H = m.wpot.WPOT.data();
        for (int r = 1; r <= N2; ++r) put_heads(H + sec.offset(1, r), stride);
    }
}

// Little-endian encoding of the byte-stream form, whatever the host order.
void put_i4(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v & 0xffu);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xffu);
    p[2] = static_cast<unsigned char>((v >> 16) & 0xffu);
    p[3] = static_cast<unsigned char>((v >> 24) & 0xffu);
}
void put_r4(unsigned char* p, float v) { put_i4(p, std::bit_cast<uint32_t>(v)); }

//! Writes n REAL*4 values from a run of floats at the given stride.
void write_reals(BinaryFileUnit& out, const float* v, int32_t n, std::ptrdiff_t stride) {
    std::array<unsigned char, 4 * 100> buf{};
    int32_t done = 0;
    while (done < n) {
        const int32_t chunk = std::min<int32_t>(n - done, 100);
        for (int32_t i = 0; i < chunk; ++i) put_r4(&buf[static_cast<std::size_t>(4 * i)], v[(done + i) * stride]);
        out.write_bytes(buf.data(), static_cast<std::size_t>(4 * chunk));
        done += chunk;
    }
}

}  // namespace

void ISODRV(Model& m) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "ISODRV");
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    const auto& s = m.isop;
    auto* writer = s.ISOFRM == 1 ? &ISOBIN : &ISOASC;
    const auto selected = [&](int32_t base) {
        if (s.ISOYZ == 1) writer(m, base + 1, IY, IZ, d.NY, d.NZ, g.KABY.data(), g.KABZ.data());
        if (s.ISOXZ == 1) writer(m, base + 2, IX, IZ, d.NX, d.NZ, g.KABX.data(), g.KABZ.data());
        if (s.ISOXY == 1) writer(m, base + 3, IX, IY, d.NX, d.NY, g.KABX.data(), g.KABY.data());
    };
    if (m.inf4.IMODE < 2) selected(10);
    if (m.inf4.IMODE > 0) selected(20);
    m.isop.ISOANF = 1;
}

void ISOASC(Model& m, int32_t LU, int32_t /*D1*/, int32_t /*D2*/, int32_t N1, int32_t N2, const float* C1,
            const float* C2) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "ISOASC");
    static const FormatProgram& f_size = fixed_format("(2I5)");
    static const FormatProgram& f_values = fixed_format("(200F10.4)");
    static const FormatProgram& f_time = fixed_format("(F12.2)");
    static const FormatProgram& f_time_scaled = fixed_format("(1PE12.5)");

    const std::optional<IsoSection> sec = section_of_unit(m, LU);
    if (!sec) return;
    OutputUnit& out = m.io.unit(LU);

    if (m.isop.ISOANF == 0) {
        write(out, f_size, N1, N2);
        write(out, f_values, out_array(C1, N1 - 1));
        write(out, f_values, out_array(C2, N2 - 1));
    }
    out.put_record(time_stamp(m.par1.ZEIT, f_time, f_time_scaled));
    for_each_row(
        m, *sec, N1, N2, [&](const double* row) { write(out, f_values, out_array(row, N1)); },
        [&](const float* row, std::ptrdiff_t stride) {
            write(out, f_values, out_array(row, N1, static_cast<int32_t>(stride)));
        });
}

void ISOBIN(Model& m, int32_t LU, int32_t /*D1*/, int32_t /*D2*/, int32_t N1, int32_t N2, const float* C1,
            const float* C2) {
    if (m.inf2.IBILD >= 1) ROUTIN(m, "ISOBIN");
    const std::optional<IsoSection> sec = section_of_unit(m, LU);
    if (!sec) return;
    BinaryFileUnit& out = m.io.binary(LU);

    if (m.isop.ISOANF == 0) {
        std::array<unsigned char, 14> head{'B', 'I', 'N', 'A', 'R', 'Y'};
        put_i4(&head[6], static_cast<uint32_t>(N1));
        put_i4(&head[10], static_cast<uint32_t>(N2));
        out.write_bytes(head.data(), head.size());
        write_reals(out, C1, N1 - 1, 1);
        write_reals(out, C2, N2 - 1, 1);
    }
    write_reals(out, &m.par1.ZEIT, 1, 1);
    for_each_row(
        m, *sec, N1, N2,
        [&](const double* row) {
            std::array<float, 100> r4{};  // rounded to REAL*4 after the conversion
            for (int a = 0; a < N1; ++a) r4[static_cast<std::size_t>(a)] = static_cast<float>(row[a]);
            write_reals(out, r4.data(), N1, 1);
        },
        [&](const float* row, std::ptrdiff_t stride) { write_reals(out, row, N1, stride); });
}

}  // namespace gruv
