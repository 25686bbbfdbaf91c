// What a run computes and how it counts time, as the result writers see it.
#pragma once
#include <string>

#include "state/model.hpp"

namespace gruv {

//! The run computes temperatures (heat only, or heat and flow).
inline bool computes_heat(const Model& m) { return m.inf4.IMODE <= 1; }
//! The run computes heads (flow only, or heat and flow).
inline bool computes_flow(const Model& m) { return m.inf4.IMODE >= 1; }
//! The velocity field means something: computed from the heads after every
//! flow solve, or prescribed for the convection of a heat-only run.
inline bool has_velocities(const Model& m) {
    return m.inf4.IMODE == 1 || (m.inf4.IMODE == 0 && m.inf2.KONVEK == 1);
}
//! The pore water may freeze.
inline bool has_ice(const Model& m) { return computes_heat(m) && m.inf2.IPHASE > 0; }

//! The time-unit word of the time-step card for FZEIT seconds per unit.
inline std::string time_unit_word(float FZEIT) {
    if (FZEIT == 60.0f) return "MIN";
    if (FZEIT == 3600.0f) return "STU";
    if (FZEIT == 86400.0f) return "TAG";
    return "SEK";
}

//! Simulated time in the time unit of the time-step card, rounded to REAL*4
//! as the observation file writes it.
inline float time_in_deck_unit(const Model& m) { return m.par1.ZEIT / m.par1.FZEIT; }

}  // namespace gruv
