// The node fields the field files (NetCDF, ParaView) carry, with their
// names, units and meaning, gathered from the model state over the active
// grid; and the coordinates of the grid's nodes and cell faces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "state/model.hpp"

namespace gruv {

//! The type of a field's values in the files.
enum class ValueType { Float32, Float64, Int32 };

//! The order of the layers in a gathered field: K = 1 (the ground surface)
//! first, or the deepest layer first (for a vertical axis pointing up).
enum class LayerOrder { TopDown, BottomUp };

//! One field over the nodes of the grid, read from the model it was made for.
struct NodeField {
    std::string name;           //!< variable and array name
    std::string long_name;      //!< what it is, in words
    std::string units;          //!< UDUNITS text; empty for flags
    std::string standard_name;  //!< CF standard name, empty where CF has none
    std::string comment;        //!< how to read it, where the name does not say
    ValueType type = ValueType::Float32;
    std::vector<int32_t> flag_values;  //!< the values of a flag field
    std::string flag_meanings;         //!< their meanings, blank separated
    //! Fills NX*NY*NZ values of the field's type, I fastest, then J, then K
    //! in the given layer order.
    std::function<void(LayerOrder, void*)> gather;
};

//! Bytes of one value of the type.
inline std::size_t value_size(ValueType t) { return t == ValueType::Float64 ? 8 : 4; }

//! A field's values over the grid as they were at one moment, layers from
//! the top, shared by the files that write them in the background.
struct GatheredField {
    ValueType type;
    std::shared_ptr<const unsigned char[]> values;
};

//! Gathers each field of the list now, layers from the top; on the run's
//! thread, whose work team it uses.
std::vector<GatheredField> gather_fields(const std::vector<NodeField>& fields, const NDIM& d);

//! Temperature, ice fraction and head: the scalar state at a snapshot.
std::vector<NodeField> state_fields(Model& m);
//! The pore velocity components x, y, z (z positive downward), when the run
//! has a velocity field.
std::vector<NodeField> velocity_fields(Model& m);
//! The fields written once: properties, flags and cell volumes.
std::vector<NodeField> fixed_fields(Model& m);

//! Node coordinates and cell faces of the grid [m]; z is the depth below
//! the ground surface.
struct GridAxes {
    std::vector<double> x, y, z;                    //!< nodes (NX, NY, NZ values)
    std::vector<double> x_faces, y_faces, z_faces;  //!< faces (NX+1, NY+1, NZ+1 values)
};
GridAxes grid_axes(const Model& m);

}  // namespace gruv
