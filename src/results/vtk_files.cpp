// VTK XML files for ParaView: rectilinear grids with raw appended data and
// a collection listing them in time.
#include "results/vtk_files.hpp"

#include <bit>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

namespace gruv {

namespace {

namespace fs = std::filesystem;

// The files say LittleEndian and take the values as they lie in memory.
static_assert(std::endian::native == std::endian::little);

const char* vtk_type(ValueType t) {
    switch (t) {
        case ValueType::Float64: return "Float64";
        case ValueType::Int32: return "Int32";
        case ValueType::Float32: break;
    }
    return "Float32";
}

template <class T>
std::string number(T v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

//! Lays out the XML of a grid file: the arrays in the order their blocks
//! follow in the appended data, each block a UInt64 byte count and the bytes.
class Layout {
public:
    void array(std::string& xml, const char* type, const std::string& name, int components, std::size_t bytes,
               bool tuple = false) {
        xml += "        <DataArray type=\"";
        xml += type;
        xml += "\" Name=\"" + name + "\"";
        if (components > 1) xml += " NumberOfComponents=\"" + std::to_string(components) + "\"";
        if (tuple) xml += " NumberOfTuples=\"1\"";
        xml += " format=\"appended\" offset=\"" + std::to_string(offset_) + "\"/>\n";
        offset_ += 8 + bytes;
    }

private:
    std::size_t offset_ = 0;
};

void block(OutputFile& f, const void* data, std::size_t bytes) {
    const std::uint64_t n = bytes;
    f.write(&n, sizeof n);
    f.write(data, bytes);
}

}  // namespace

void VtkCollection::open(const fs::path& dir) {
    dir_ = dir;
    create_result_folder(dir);
}

std::vector<fs::path> VtkCollection::files() const {
    return {dir_ / "results.pvd", dir_ / "results.pvd.neu", dir_ / "properties.vtr"};
}

void VtkCollection::start(Model& m, const std::vector<GatheredField>& fixed_values) {
    // Grid files of an earlier run would show up beside this run's.
    auto grid_file = [](std::string_view name) {
        constexpr std::string_view head = "results_", tail = ".vtr";
        if (name.size() <= head.size() + tail.size() || !name.starts_with(head) || !name.ends_with(tail)) return false;
        const std::string_view number = name.substr(head.size(), name.size() - head.size() - tail.size());
        return number.find_first_not_of("0123456789") == std::string_view::npos;
    };
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir_, ec)) {
        const std::string name = entry.path().filename().string();
        if (!grid_file(name) || entry.is_directory(ec)) continue;
        fs::remove(entry.path(), ec);
        if (ec) throw ResultError{entry.path().string(), system_reason(ec.value()), true};
    }
    if (ec) throw ResultError{dir_.string(), system_reason(ec.value()), true, true};
    write_collection();

    const auto& d = m.ndim;
    layer_ = static_cast<std::size_t>(d.NX) * static_cast<std::size_t>(d.NY);
    layers_ = static_cast<std::size_t>(d.NZ);
    cells_ = layer_ * layers_;
    state_ = state_fields(m);
    velocity_ = velocity_fields(m);
    fixed_ = fixed_fields(m);
    const GridAxes g = grid_axes(m);
    x_ = g.x_faces;
    y_ = g.y_faces;
    // Upward, from the deepest face to the ground surface: ParaView's z.
    z_.assign(g.z_faces.rbegin(), g.z_faces.rend());
    for (double& z : z_) z = 0.0 - z;  // the ground surface at +0

    // Every snapshot carries the state; the fixed fields are written once.
    snapshot_cells_.clear();
    for (const NodeField& f : state_) snapshot_cells_.push_back(&f);
    std::vector<const NodeField*> fixed;
    for (const NodeField& f : fixed_) fixed.push_back(&f);
    snapshot_xml_ = layout(true, snapshot_cells_, !velocity_.empty());
    auto file = std::make_shared<OutputFile>();
    file->create(dir_ / "properties.vtr");
    writer_.post([this, file, xml = layout(false, fixed, false), fixed_values] {
        write_grid(*file, xml, nullptr, nullptr, fixed_values, false);
    });
}

std::string VtkCollection::layout(bool with_time, const std::vector<const NodeField*>& cells,
                                  bool with_velocity) const {
    const std::string extent = "0 " + std::to_string(x_.size() - 1) + " 0 " + std::to_string(y_.size() - 1) +
                               " 0 " + std::to_string(z_.size() - 1);
    Layout layout;
    std::string x = "<?xml version=\"1.0\"?>\n"
                    "<VTKFile type=\"RectilinearGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
                    "header_type=\"UInt64\">\n"
                    "  <RectilinearGrid WholeExtent=\"" + extent + "\">\n";
    if (with_time) {
        x += "    <FieldData>\n";
        layout.array(x, "Float64", "TimeValue", 1, 8, true);
        layout.array(x, "Int32", "step", 1, 4, true);
        x += "    </FieldData>\n";
    }
    x += "    <Piece Extent=\"" + extent + "\">\n"
         "      <CellData";
    if (!cells.empty()) x += " Scalars=\"" + cells.front()->name + "\"";
    if (with_velocity) x += " Vectors=\"pore_velocity\"";
    x += ">\n";
    for (const NodeField* f : cells) layout.array(x, vtk_type(f->type), f->name, 1, value_size(f->type) * cells_);
    if (with_velocity) layout.array(x, "Float32", "pore_velocity", 3, 3 * sizeof(float) * cells_);
    x += "      </CellData>\n"
         "      <Coordinates>\n";
    layout.array(x, "Float64", "x", 1, 8 * x_.size());
    layout.array(x, "Float64", "y", 1, 8 * y_.size());
    layout.array(x, "Float64", "z", 1, 8 * z_.size());
    x += "      </Coordinates>\n"
         "    </Piece>\n"
         "  </RectilinearGrid>\n"
         "  <AppendedData encoding=\"raw\">\n"
         "   _";
    return x;
}

void VtkCollection::write_grid(OutputFile& f, const std::string& xml, const double* time, const int32_t* step,
                               const std::vector<GatheredField>& cells, bool with_velocity) const {
    f.write(xml);
    if (time != nullptr) {
        block(f, time, sizeof *time);
        block(f, step, sizeof *step);
    }
    // The cells come layer by layer from the top; the grid wants them from
    // the deepest layer up.
    const std::size_t scalars = with_velocity ? cells.size() - 3 : cells.size();
    for (std::size_t n = 0; n < scalars; ++n) {
        const std::size_t bytes = value_size(cells[n].type) * layer_;
        const std::uint64_t count = bytes * layers_;
        f.write(&count, sizeof count);
        for (std::size_t k = layers_; k-- > 0;) f.write(cells[n].values.get() + k * bytes, bytes);
    }
    if (with_velocity) {
        // Components x, y and upward: the grid's z points up, the model's down.
        std::vector<float> vector(3 * cells_);
        for (std::size_t c = 0; c < 3; ++c) {
            const float* v = reinterpret_cast<const float*>(cells[scalars + c].values.get());
            const float sign = c == 2 ? -1.0f : 1.0f;
            for (std::size_t up = 0; up < layers_; ++up) {
                const float* from = v + (layers_ - 1 - up) * layer_;
                float* to = vector.data() + 3 * up * layer_ + c;
                for (std::size_t i = 0; i < layer_; ++i) to[3 * i] = sign * from[i];
            }
        }
        block(f, vector.data(), vector.size() * sizeof(float));
    }
    block(f, x_.data(), 8 * x_.size());
    block(f, y_.data(), 8 * y_.size());
    block(f, z_.data(), 8 * z_.size());
    f.write("\n  </AppendedData>\n</VTKFile>\n");
    f.close();
}

void VtkCollection::snapshot(int32_t step, float time, const std::vector<GatheredField>& values) {
    char name[32];
    std::snprintf(name, sizeof name, "results_%05zu.vtr", snapshots_++);
    const double t = static_cast<double>(time);
    // Created here, so that a name taken by a folder or a file that may not
    // be written stops the run at this snapshot.
    auto file = std::make_shared<OutputFile>();
    file->create(dir_ / name);
    writer_.post([this, time, t, step, file, name = std::string(name), values] {
        write_grid(*file, snapshot_xml_, &t, &step, values, !velocity_.empty());
        listed_.emplace_back(time, name);
        write_collection();
    });
}

void VtkCollection::write_collection() const {
    std::string xml =
        "<?xml version=\"1.0\"?>\n"
        "<VTKFile type=\"Collection\" version=\"0.1\" byte_order=\"LittleEndian\">\n"
        "  <Collection>\n";
    for (const auto& [time, file] : listed_)
        xml += "    <DataSet timestep=\"" + number(time) + "\" group=\"\" part=\"0\" file=\"" + file + "\"/>\n";
    xml += "  </Collection>\n"
           "</VTKFile>\n";
    const fs::path pvd = dir_ / "results.pvd";
    const fs::path fresh = dir_ / "results.pvd.neu";
    OutputFile f;
    f.create(fresh);
    f.write(xml);
    f.close();
    std::error_code ec;
    fs::rename(fresh, pvd, ec);
    if (ec) throw ResultError{pvd.string(), system_reason(ec.value()), false};
}

}  // namespace gruv
