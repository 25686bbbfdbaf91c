// Node fields gathered from the model state for the field files.
#include "results/node_fields.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

#include "flow/properties.hpp"
#include "parallel/work_team.hpp"
#include "results/run_facts.hpp"

namespace gruv {

namespace {

//! Fills the active grid into out, I fastest: row(J, K, values, NX) writes
//! the NX values of grid row J of layer K.
template <class Out, class Row>
void pack(const NDIM& d, LayerOrder order, Out* out, Row row) {
    const auto nx = static_cast<std::size_t>(d.NX);
    for (int32_t s = 1; s <= d.NZ; ++s) {
        const int32_t k = order == LayerOrder::TopDown ? s : d.NZ + 1 - s;
        for (int32_t j = 1; j <= d.NY; ++j, out += nx) row(j, k, out, nx);
    }
}

template <class T>
constexpr ValueType value_type() {
    if constexpr (std::is_same_v<T, double>) return ValueType::Float64;
    if constexpr (std::is_same_v<T, int32_t>) return ValueType::Int32;
    return ValueType::Float32;
}

//! A field with its description whose values of type T row(J, K, values, NX) gives.
template <class T, class Row>
NodeField field(const Model& m, std::string name, std::string long_name, std::string units, Row row) {
    NodeField f;
    f.name = std::move(name);
    f.long_name = std::move(long_name);
    f.units = std::move(units);
    f.type = value_type<T>();
    const NDIM* d = &m.ndim;
    f.gather = [d, row](LayerOrder order, void* out) { pack(*d, order, static_cast<T*>(out), row); };
    return f;
}

//! A field that is a node array of the model as it is stored.
template <class T>
NodeField stored(const Model& m, std::string name, std::string long_name, std::string units, const NodeArray<T>& a) {
    return field<T>(m, std::move(name), std::move(long_name), std::move(units),
                    [&a](int32_t j, int32_t k, T* out, std::size_t nx) { std::copy_n(a.row(j, k), nx, out); });
}

//! Has the system map the whole pages of a new buffer in one call, where
//! it can, instead of one page fault at a time as the gathering writes them.
void map_now(unsigned char* p, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(p) + page - 1) & ~(page - 1);
    const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(p) + bytes) & ~(page - 1);
    // A refusal (an older system) leaves the pages to the faults.
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)p, (void)bytes;
#endif
}

//! Buffers of gathered fields that the files have written, kept for the
//! next snapshot. A field of the full grid is too large for the heap's free
//! lists: each new buffer would be fresh pages from the system, zeroed and
//! mapped one by one on the computing thread, and each one given back would
//! make every processor of the process drop its address translations.
class FieldBuffers {
public:
    //! A buffer of the given size; back here when its last holder lets go.
    std::shared_ptr<unsigned char[]> take(std::size_t bytes) {
        std::unique_ptr<unsigned char[]> buffer;
        {
            std::lock_guard lock(mutex_);
            const auto same = std::find_if(free_.begin(), free_.end(), [&](const auto& b) { return b.first == bytes; });
            if (same != free_.end()) {
                buffer = std::move(same->second);
                free_.erase(same);
            }
        }
        if (!buffer) {
            buffer.reset(new unsigned char[bytes]);
            map_now(buffer.get(), bytes);
        }
        return {buffer.release(), [this, bytes](unsigned char* p) { give_back(p, bytes); }};
    }

private:
    //! Keeps the buffer unless enough for two snapshots are kept already.
    void give_back(unsigned char* p, std::size_t bytes) {
        std::unique_ptr<unsigned char[]> buffer(p);
        std::lock_guard lock(mutex_);
        if (free_.size() < kKept) free_.emplace_back(bytes, std::move(buffer));
    }

    static constexpr std::size_t kKept = 24;
    std::mutex mutex_;
    std::vector<std::pair<std::size_t, std::unique_ptr<unsigned char[]>>> free_;
};

//! A buffer for a gathered field of the given size.
std::shared_ptr<unsigned char[]> field_buffer(std::size_t bytes) {
    static FieldBuffers* const buffers = new FieldBuffers;  // outlives every holder of a buffer
    return buffers->take(bytes);
}

}  // namespace

std::vector<NodeField> state_fields(Model& m) {
    std::vector<NodeField> fields;
    if (computes_heat(m)) {
        const auto& T = m.temp.TEMP;
        NodeField t = field<double>(m, "temperature", "temperature", "degC",
                                    [&T](int32_t j, int32_t k, double* out, std::size_t nx) {
                                        const double* row = T.row(j, k);
                                        for (std::size_t i = 0; i < nx; ++i) out[i] = CELS(row[i]);
                                    });
        t.standard_name = "temperature_in_ground";
        fields.push_back(std::move(t));
    }
    if (has_ice(m)) {
        // The liquid share of the pore water as the heat content counts it:
        // from the freezing curve of the layer at or below its freezing
        // temperature.
        auto frozen = [&m](int32_t j, int32_t k, float* out, std::size_t nx) {
            const double* T = m.temp.TEMP.row(j, k);
            for (std::size_t i = 0; i < nx; ++i) {
                const double dT = T[i] - m.temp.TGEF(k);
                const float liquid = dT > 0.0 ? 1.0f : WASEIS(m, static_cast<float>(dT), k);
                out[i] = std::clamp(1.0f - liquid, 0.0f, 1.0f);
            }
        };
        NodeField ice = field<float>(m, "ice_fraction", "frozen share of the pore water", "1", frozen);
        ice.comment = "0 above the freezing temperature of the layer and in layers without a freezing curve";
        fields.push_back(std::move(ice));
    }
    if (computes_flow(m)) fields.push_back(stored(m, "head", "hydraulic head", "m", m.wpot.WPOT));
    return fields;
}

std::vector<NodeField> velocity_fields(Model& m) {
    std::vector<NodeField> fields;
    if (!has_velocities(m)) return fields;
    const auto& p = m.phys;
    const char* comment = "mean pore velocity through the cell face toward the next node along the axis; 0 on the "
                          "last node of the axis";
    fields.push_back(stored(m, "vx", "pore velocity in x", "m s-1", p.GWVX));
    fields.push_back(stored(m, "vy", "pore velocity in y", "m s-1", p.GWVY));
    fields.push_back(stored(m, "vz", "pore velocity in z (positive downward)", "m s-1", p.GWVZ));
    for (NodeField& f : fields) f.comment = comment;
    return fields;
}

std::vector<NodeField> fixed_fields(Model& m) {
    std::vector<NodeField> fields;
    const auto& p = m.phys;
    const auto& t = m.trns;
    fields.push_back(stored(m, "cell_volume", "cell volume", "m3", m.gitt.ZVOL));
    if (computes_heat(m)) {
        fields.push_back(stored(m, "porosity", "total porosity", "1", p.PHIG));
        fields.push_back(stored(m, "rock_density", "density of the rock", "kg m-3", p.RHOG));
        fields.push_back(stored(m, "rock_heat_capacity", "specific heat capacity of the rock", "J kg-1 K-1", p.CPGE));
        fields.push_back(
            stored(m, "rock_thermal_conductivity", "thermal conductivity of the rock", "W m-1 K-1", p.WLKG));
        fields.push_back(stored(m, "heat_production", "internal heat production", "W m-3", m.ener.SOUC));
        NodeField flag = stored(m, "T_flag", "kind of temperature node", "", m.ifld.IFLG);
        flag.flag_values = {1, 2, 3, 4, 5};
        flag.flag_meanings = "variable_temperature fixed_temperature heat_flux transfer_coefficient heat_exchanger";
        fields.push_back(std::move(flag));
    }
    fields.push_back(stored(m, "effective_porosity", "effective (drainable) porosity", "1", p.PHIN));
    if (computes_flow(m)) {
        fields.push_back(stored(m, "hydraulic_conductivity_x", "hydraulic conductivity in x", "m s-1", t.TRSX));
        fields.push_back(stored(m, "hydraulic_conductivity_y", "hydraulic conductivity in y", "m s-1", t.TRSY));
        fields.push_back(stored(m, "hydraulic_conductivity_z", "hydraulic conductivity in z", "m s-1", t.TRSZ));
        fields.push_back(stored(m, "storage_coefficient", "storage coefficient", "1", t.SPEI));
        NodeField flag = stored(m, "H_flag", "kind of head node", "", m.ifld.JFLG);
        flag.flag_values = {1, 2};
        flag.flag_meanings = "variable_head fixed_head";
        fields.push_back(std::move(flag));
    }
    return fields;
}

std::vector<GatheredField> gather_fields(const std::vector<NodeField>& fields, const NDIM& d) {
    const std::size_t cells =
        static_cast<std::size_t>(d.NX) * static_cast<std::size_t>(d.NY) * static_cast<std::size_t>(d.NZ);
    std::vector<GatheredField> gathered(fields.size());
    // Whole fields to each member of the work team: a buffer new from the
    // system is mostly the time its pages take to be mapped, which two
    // processors halve.
    WorkTeam& team = WorkTeam::shared();
    const int members = cells * fields.size() < 65536 ? 1 : team.members();
    std::array<std::exception_ptr, WorkTeam::kMaxMembers> failed;  // a buffer the system refused
    auto task = [&](int member) {
        try {
            for (auto n = static_cast<std::size_t>(member); n < fields.size(); n += static_cast<std::size_t>(members)) {
                const NodeField& f = fields[n];
                // Every byte is gathered: the buffer need not be cleared first.
                std::shared_ptr<unsigned char[]> values = field_buffer(value_size(f.type) * cells);
                f.gather(LayerOrder::TopDown, values.get());
                gathered[n] = {f.type, std::move(values)};
            }
        } catch (...) {
            failed[static_cast<std::size_t>(member)] = std::current_exception();
        }
    };
    team.run(task, members);
    for (const std::exception_ptr& e : failed)
        if (e) std::rethrow_exception(e);
    return gathered;
}

GridAxes grid_axes(const Model& m) {
    const auto& d = m.ndim;
    const auto& g = m.gitt;
    GridAxes a;
    // The first face lies a node-to-face distance before the first node,
    // every other face that distance after its node. A single node on the
    // convention of node distances has no such distances: its cell of the
    // given width is centred on it.
    auto axis = [](int32_t n, const auto& node, const auto& lower, const auto& upper, const auto& width,
                   std::vector<double>& nodes, std::vector<double>& faces) {
        double before = static_cast<double>(lower(1)), after = static_cast<double>(upper(1));
        if (n == 1 && before + after == 0.0) before = after = 0.5 * static_cast<double>(width(1));
        faces.push_back(static_cast<double>(node(1)) - before);
        for (int32_t i = 1; i <= n; ++i) {
            nodes.push_back(static_cast<double>(node(i)));
            faces.push_back(static_cast<double>(node(i)) + (i == 1 ? after : static_cast<double>(upper(i))));
        }
    };
    axis(d.NX, g.KORX, g.ABXU, g.ABXO, g.ZBRX, a.x, a.x_faces);
    axis(d.NY, g.KORY, g.ABYU, g.ABYO, g.ZBRY, a.y, a.y_faces);
    axis(d.NZ, g.KORZ, g.ABZU, g.ABZO, g.ZBRZ, a.z, a.z_faces);
    return a;
}

}  // namespace gruv
