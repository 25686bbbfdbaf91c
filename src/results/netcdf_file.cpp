// NetCDF-4 output through the NetCDF C library, with CF 1.8 attributes.
#include "results/netcdf_file.hpp"


#include <ctime>
#include <string_view>

#include "results/netcdf_library.hpp"
#include "results/output_file.hpp"
#include "results/run_facts.hpp"
#include "state/version.hpp"

namespace gruv {

namespace {

nc_type nc_type_of(ValueType t) {
    switch (t) {
        case ValueType::Float64: return NC_DOUBLE;
        case ValueType::Int32: return NC_INT;
        case ValueType::Float32: break;
    }
    return NC_FLOAT;
}

// Without tracking the creation order of attributes (NetCDF 4.9 and later)
// the library writes the file's metadata in about half the time; readers
// see no difference.
#ifdef NC_NOATTCREORD
constexpr int kCreateFaster = NC_NOATTCREORD;
#else
constexpr int kCreateFaster = 0;
#endif

//! The creation time in ISO 8601, UTC.
std::string utc_now() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &t);
    return buf;
}

}  // namespace

//! What the writer needs of the model to create the file: taken when the
//! run starts, so that the model may go on changing.
struct NetcdfFile::Definition {
    std::string unit;        //!< the deck's time unit in words
    double unit_seconds;     //!< and in seconds
    std::string title, deck;
    int sections[3];
    GridAxes axes;
    std::vector<NodeField> changing;  //!< described only, gathered at every snapshot
    std::vector<NodeField> fixed;
    std::vector<GatheredField> fixed_values;
};

NetcdfFile::~NetcdfFile() { abandon(); }

void NetcdfFile::check(int status) const {
    if (status == NC_NOERR) return;
    // Positive codes are the system's error numbers.
    const std::string reason =
        status > 0 ? system_reason(status) : std::string("NetCDF-Fehler: ") + nc_->nc_strerror(status);
    throw ResultError{name_, reason, creating_};
}

void NetcdfFile::open(const std::string& path) {
    name_ = path;
    check_creatable(path);
    // Loading the library takes some milliseconds of processor time: the
    // writer does it while the run reads its deck and sets up the grid, with
    // the second processor still free. A library that cannot be loaded is
    // reported when the file is created.
    writer_.post([] {
        std::string reason;
        netcdf_library(reason);
    });
}

int NetcdfFile::define(const NodeField& f, const std::vector<int>& dims) {
    int var = -1;
    check(nc_->nc_def_var(ncid_, f.name.c_str(), nc_type_of(f.type), static_cast<int>(dims.size()), dims.data(), &var));
    auto text = [&](const char* name, const std::string& value) {
        if (!value.empty()) check(nc_->nc_put_att_text(ncid_, var, name, value.size(), value.c_str()));
    };
    text("long_name", f.long_name);
    text("standard_name", f.standard_name);
    text("units", f.units);
    if (f.standard_name == "temperature_in_ground") text("units_metadata", "temperature: on_scale");
    text("comment", f.comment);
    if (!f.flag_values.empty()) {
        check(nc_->nc_put_att_int(ncid_, var, "flag_values", NC_INT, f.flag_values.size(), f.flag_values.data()));
        text("flag_meanings", f.flag_meanings);
    }
    if (f.name != "cell_volume") text("cell_measures", "volume: cell_volume");
    return var;
}

void NetcdfFile::start(Model& m, const std::vector<GatheredField>& fixed) {
    {
        // The library reports a missing folder or a file that may not be
        // written only as a failure of its storage layer: ask the system first.
        OutputFile probe;
        probe.create(name_);
        probe.close();
    }
    const auto& d = m.ndim;
    auto def = std::make_shared<Definition>();
    def->unit = time_unit_word(m.par1.FZEIT);
    def->unit_seconds = static_cast<double>(m.par1.FZEIT);
    def->title = m.run.title;
    def->deck = m.run.deck;
    def->sections[0] = m.ipro.ISCHX, def->sections[1] = m.ipro.ISCHY, def->sections[2] = m.ipro.ISCHZ;
    def->axes = grid_axes(m);
    def->changing = state_fields(m);
    for (NodeField& f : velocity_fields(m)) def->changing.push_back(std::move(f));
    def->fixed = fixed_fields(m);
    def->fixed_values = fixed;
    dims_[0] = static_cast<std::size_t>(d.NZ);
    dims_[1] = static_cast<std::size_t>(d.NY);
    dims_[2] = static_cast<std::size_t>(d.NX);
    writer_.post([this, def] { create(*def); });
}

void NetcdfFile::create(const Definition& def) {
    std::string reason;
    nc_ = netcdf_library(reason);
    if (nc_ == nullptr) throw ResultError{name_, "NetCDF-Bibliothek nicht ladbar: " + reason, true};
    check(nc_->nc_create(name_.c_str(), NC_NETCDF4 | NC_CLOBBER | kCreateFaster, &ncid_));
    int old_fill = 0;
    check(nc_->nc_set_fill(ncid_, NC_NOFILL, &old_fill));  // every value is written

    int time = -1, z = -1, y = -1, x = -1, nv = -1;
    check(nc_->nc_def_dim(ncid_, "time", NC_UNLIMITED, &time));
    check(nc_->nc_def_dim(ncid_, "z", dims_[0], &z));
    check(nc_->nc_def_dim(ncid_, "y", dims_[1], &y));
    check(nc_->nc_def_dim(ncid_, "x", dims_[2], &x));
    check(nc_->nc_def_dim(ncid_, "nv", 2, &nv));

    auto text = [&](int var, const char* name, std::string_view value) {
        check(nc_->nc_put_att_text(ncid_, var, name, value.size(), value.data()));
    };
    // Coordinates of the nodes, the cell faces as their bounds.
    struct Axis {
        const char* name;
        const char* bounds;
        int dim;
        const char* long_name;
        int var = -1, bounds_var = -1;
    };
    Axis axes[3] = {{"x", "x_bnds", x, "x coordinate of the node"},
                    {"y", "y_bnds", y, "y coordinate of the node"},
                    {"z", "z_bnds", z, "depth of the node below the ground surface"}};
    for (Axis& a : axes) {
        check(nc_->nc_def_var(ncid_, a.name, NC_DOUBLE, 1, &a.dim, &a.var));
        const int bdims[2] = {a.dim, nv};
        check(nc_->nc_def_var(ncid_, a.bounds, NC_DOUBLE, 2, bdims, &a.bounds_var));
        text(a.var, "long_name", a.long_name);
        text(a.var, "units", "m");
        text(a.var, "bounds", a.bounds);
        text(a.bounds_var, "long_name", "cell faces");
        text(a.bounds_var, "units", "m");
    }
    text(axes[0].var, "axis", "X");
    text(axes[1].var, "axis", "Y");
    text(axes[2].var, "axis", "Z");
    text(axes[2].var, "standard_name", "depth");
    text(axes[2].var, "positive", "down");

    check(nc_->nc_def_var(ncid_, "time", NC_DOUBLE, 1, &time, &time_var_));
    text(time_var_, "standard_name", "time");
    text(time_var_, "long_name", "simulated time since the start");
    text(time_var_, "units", "s");
    text(time_var_, "axis", "T");
    text(time_var_, "deck_time_unit", def.unit);
    check(nc_->nc_put_att_double(ncid_, time_var_, "deck_time_unit_seconds", NC_DOUBLE, 1, &def.unit_seconds));
    check(nc_->nc_def_var(ncid_, "step", NC_INT, 1, &time, &step_var_));
    text(step_var_, "long_name", "time steps done (0: the initial state)");

    // The state at every snapshot, one grid per slice.
    changing_vars_.clear();
    const std::size_t chunk[4] = {1, dims_[0], dims_[1], dims_[2]};
    for (const NodeField& f : def.changing) {
        const int var = define(f, {time, z, y, x});
        check(nc_->nc_def_var_chunking(ncid_, var, NC_CHUNKED, chunk));
        changing_vars_.push_back(var);
    }
    std::vector<int> fixed_vars;
    for (const NodeField& f : def.fixed) fixed_vars.push_back(define(f, {z, y, x}));

    text(NC_GLOBAL, "Conventions", "CF-1.8");
    text(NC_GLOBAL, "title", def.title);
    const std::string program = std::string(kProgramName) + " " + std::string(kProgramVersion);
    text(NC_GLOBAL, "source", program);
    const std::string created = utc_now();
    text(NC_GLOBAL, "history", created + " " + program + ", deck " + def.deck);
    text(NC_GLOBAL, "date_created", created);
    text(NC_GLOBAL, "input_deck", def.deck);
    check(nc_->nc_put_att_int(ncid_, NC_GLOBAL, "sections_IJK", NC_INT, 3, def.sections));
    text(NC_GLOBAL, "comment",
         "x and y from the first cell face, z depth below the ground surface; the state at the start, at every "
         "printout of the listing and at the end; sections_IJK: column, row and layer of the listing's sections");
    check(nc_->nc_enddef(ncid_));
    creating_ = false;

    const GridAxes& g = def.axes;
    const std::vector<double>* nodes[3] = {&g.x, &g.y, &g.z};
    const std::vector<double>* faces[3] = {&g.x_faces, &g.y_faces, &g.z_faces};
    for (int a = 0; a < 3; ++a) {
        check(nc_->nc_put_var_double(ncid_, axes[a].var, nodes[a]->data()));
        std::vector<double> bounds;
        for (std::size_t n = 0; n + 1 < faces[a]->size(); ++n) {
            bounds.push_back((*faces[a])[n]);
            bounds.push_back((*faces[a])[n + 1]);
        }
        check(nc_->nc_put_var_double(ncid_, axes[a].bounds_var, bounds.data()));
    }
    const std::size_t origin[3] = {0, 0, 0};
    for (std::size_t n = 0; n < fixed_vars.size(); ++n) {
        put(fixed_vars[n], def.fixed_values[n], origin, dims_);
    }
    check(nc_->nc_sync(ncid_));
}

void NetcdfFile::put(int var, const GatheredField& f, const std::size_t* start, const std::size_t* count) {
    const void* values = f.values.get();
    switch (f.type) {
        case ValueType::Float64:
            check(nc_->nc_put_vara_double(ncid_, var, start, count, static_cast<const double*>(values)));
            break;
        case ValueType::Int32:
            check(nc_->nc_put_vara_int(ncid_, var, start, count, static_cast<const int*>(values)));
            break;
        case ValueType::Float32:
            check(nc_->nc_put_vara_float(ncid_, var, start, count, static_cast<const float*>(values)));
            break;
    }
}

void NetcdfFile::snapshot(int32_t step, float time, const std::vector<GatheredField>& values) {
    writer_.post([this, step, time, slice = slices_++, fields = values] {
        const std::size_t at[1] = {slice};
        const double t = static_cast<double>(time);
        check(nc_->nc_put_var1_double(ncid_, time_var_, at, &t));
        const int s = step;
        check(nc_->nc_put_var1_int(ncid_, step_var_, at, &s));
        const std::size_t start[4] = {slice, 0, 0, 0};
        const std::size_t count[4] = {1, dims_[0], dims_[1], dims_[2]};
        for (std::size_t n = 0; n < fields.size(); ++n)
            put(changing_vars_[n], fields[n], start, count);
        check(nc_->nc_sync(ncid_));
    });
}

void NetcdfFile::close() {
    writer_.post([this] {
        if (ncid_ < 0) return;
        const int id = ncid_;
        ncid_ = -1;
        check(nc_->nc_close(id));
    });
}

void NetcdfFile::abandon() noexcept {
    if (ncid_ >= 0) nc_->nc_close(ncid_);
    ncid_ = -1;
}

}  // namespace gruv
