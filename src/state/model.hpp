// The model state of one run: every control value, node field, coefficient and
// table lives here, organised in the named groups the routines refer to. One
// Model exists per run; main owns it and hands it to every routine by reference.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "records/units.hpp"
#include "state/bounds.hpp"
#include "state/node_array.hpp"

namespace gruv {

using Word4 = std::array<char, 4>;  //!< CHARACTER*4 keyword, blank padded

//! NDIM: grid size.
struct NDIM {
    int32_t NX = 0;   //!< nodes in X (columns I), 1..IX
    int32_t NY = 0;   //!< nodes in Y (rows J), 1..IY
    int32_t NZ = 0;   //!< nodes in Z (layers K, K = 1 at the ground surface), 1..IZ
    int32_t NX1 = 0;  //!< NX-1, number of node distances in X
    int32_t NY1 = 0;  //!< NY-1
    int32_t NZ1 = 0;  //!< NZ-1
};

//! INF1: integer control values (1).
struct INF1 {
    int32_t NZSCHR = 0;  //!< time steps of the run (card 7)
    int32_t ISCHEM = 0;  //!< convection scheme: 1 central, 2 upwind, 3 hybrid, 4 power law, 5 exponential
    int32_t KNLAGE = 0;  //!< grid convention: 0 nodes at cell centres, 1 faces halfway between nodes
    int32_t KONTRL = 0;  //!< control print of the first step: 3 echo and flag tables, 2 profiles; solves set 1
    int32_t ITMAX = 0;   //!< maximum sweeps of one solve
    int32_t NZINT = 0;   //!< time steps per interval
    int32_t IEINGA = 0;  //!< field input: >0 node by node, 0 layer-wise short input, <0 none
    int32_t IRICHT = 0;  //!< point-iteration sweep order: 1 alternating, 0 ascending
};

//! INF2: integer control values (2).
struct INF2 {
    int32_t KONVEK = 0;  //!< 0 pure conduction, 1 diffusion and convection
    int32_t NAUSG = 0;   //!< printout interval in time steps
    int32_t IPHASE = 0;  //!< phase change: 0 off, >0 PHATST step control; <3 TAUPKT sets TGEF
    int32_t IOUT = 0;    //!< unit of the printed output (6, or 1 = console)
    int32_t IBILD = 0;   //!< console trace level 0, 1, 2
    int32_t IMISCH = 0;  //!< conductivity mixing rule: 1, 2 bound formulas, else arithmetic mean
    int32_t NIT = 0;     //!< sweeps of the solve in progress / of the last solve
    int32_t ISTOFF = 0;  //!< material data: 0 zero, 1 defaults, >=2 card 11b; 3..5 T-dependent rock conductivity
    int32_t IAENDR = 0;  //!< interactive factor change: 2 after flow solves, 1 after heat solves, 0 never
    int32_t IERST = 0;   //!< first-call flag of ENERGI (1 at start)
};

//! INF3: integer control values (3).
struct INF3 {
    int32_t NUMW = 0;    //!< value-conversion entries from card 29
    int32_t IENERG = 0;  //!< 1 = energy balance and heat flux at every printout
    int32_t ISTAT = 0;   //!< 1 = end early at steady state
    int32_t IZUSAT = 0;  //!< 1 = additional data file in use (unit 8)
    int32_t NZUSAT = 0;  //!< time steps between two readings of the additional data file
    int32_t IUHR = 0;    //!< wall-clock reference, hundredths of a second since midnight
    int32_t NZUS = 0;    //!< entries of the additional data file (NUMW+1..NUMW+NZUS)
};

//! INF4: observation nodes, restart and test switches.
struct INF4 {
    int32_t NBEOB = 0;               //!< observation nodes, 0..10
    Array1<int32_t, MAXBEO> IBEOB;   //!< column I of each observation node
    Array1<int32_t, MAXBEO> JBEOB;   //!< row J of each observation node
    Array1<int32_t, MAXBEO> KBEOB;   //!< layer K of each observation node
    int32_t IWARMI = 0;              //!< 1 = initial temperatures/heads from the restart file
    int32_t IWARMO = 0;              //!< 1 = restart file rewritten at every printout
    int32_t IDSTOP = 0;              //!< grid Peclet test: 0 off, 1 warn, 2 warn and stop
    int32_t IMODE = 0;               //!< 0 heat only, 1 heat and flow, 2 flow only
    int32_t IZTEST = 0;              //!< not 0 = time-step test before the loop
};

//! INF5: viscosity switch.
struct INF5 {
    int32_t IVISK = 0;  //!< 1 = conductivities divided by the kinematic viscosity at the interface
};

//! IPRO: section indices of the printed tables and isoline files.
struct IPRO {
    int32_t ISCHX = 0;  //!< column I of the Y-Z section
    int32_t ISCHY = 0;  //!< row J of the X-Z section
    int32_t ISCHZ = 0;  //!< layer K of the X-Y section
};

//! ISOP: isoline file control.
struct ISOP {
    int32_t ISOYZ = 0;   //!< 1 = isoline file of the Y-Z section
    int32_t ISOXZ = 0;   //!< 1 = isoline file of the X-Z section
    int32_t ISOXY = 0;   //!< 1 = isoline file of the X-Y section
    int32_t ISOANF = 0;  //!< 0 = headers still to be written
    int32_t ISOFRM = 0;  //!< 1 = byte-stream files, else text
};

//! PAR1: time and heat-solver values.
struct PAR1 {
    float DELT = 0.0f;    //!< time step length [s]
    float FZEIT = 0.0f;   //!< seconds per time unit of card 7
    float ZFAKT = 0.0f;   //!< time-step growth factor
    float FLURAB = 0.0f;  //!< depth of the groundwater table below ground [m]
    float ALFAT = 0.0f;   //!< time weighting of the heat point iteration
    float EPST = 0.0f;    //!< allowed iteration error of the heat solve [K]
    float FEHLER = 0.0f;  //!< iteration error of the last sweep of the last solve [m or K]
    float OMEGT = 0.0f;   //!< heat relaxation factor; >0 point, <0 line iteration
    float ZEIT = 0.0f;    //!< simulated time since the start [s]
};

//! PAR2: flow-solver values and markers.
struct PAR2 {
    float HGOK = 0.0f;    //!< elevation of the ground surface [m above datum]
    float ALFA = 0.0f;    //!< time weighting of the flow point iteration
    float OMEGA = 0.0f;   //!< flow relaxation factor; >0 point, <0 line iteration
    float EPSH = 0.0f;    //!< allowed iteration error of the flow solve [m]
    float SPKONS = 0.0f;  //!< storage value of constant-head nodes (1.0E30 at start)
    float LEERW = 0.0f;   //!< marker value of the additional data file (-99.9)
    float RECHZT = 0.0f;  //!< computing time used so far [min]
};

//! PAR3: properties of water, ice and pore gas.
struct PAR3 {
    float CPW = 0.0f;    //!< specific heat capacity of liquid water [J/kg*K]
    float CPE = 0.0f;    //!< specific heat capacity of ice [J/kg*K]
    float CPL = 0.0f;    //!< specific heat capacity of the pore air [J/kg*K]
    float LAMW = 0.0f;   //!< thermal conductivity of liquid water [W/m*K]
    float LAME = 0.0f;   //!< thermal conductivity of ice [W/m*K]
    float LAML = 0.0f;   //!< thermal conductivity of the pore air [W/m*K]
    float RHOW = 0.0f;   //!< density of liquid water [kg/m3]
    float RHOE = 0.0f;   //!< density of ice [kg/m3]
    float RHOL = 0.0f;   //!< density of the pore air [kg/m3]
    float SCHMW = 0.0f;  //!< latent heat of fusion of water [J/kg]
};

//! Built-in properties of water, ice and pore air (material data option 1).
inline constexpr PAR3 kBuiltInMaterialData{4200.0f, 2114.0f, 0.0f, 0.57f, 2.25f, 0.025f,
                                           1000.0f, 917.0f, 0.0f, 334715.5f};

//! PAR4: freezing interval and rock-conductivity coefficients.
struct PAR4 {
    float DTGEF = 0.0f;   //!< width of the freezing interval [K]
    float DTHALB = 0.0f;  //!< half of DTGEF [K]
    float DWAN = 0.0f;    //!< largest change of the liquid-water fraction in one node update
    float WLKA = 0.0f;    //!< first coefficient of the T-dependent rock conductivity
    float WLKB = 0.0f;    //!< second coefficient
    float WLKC = 0.0f;    //!< third coefficient
};

//! EKAL: energy accumulators [J].
struct EKAL {
    double EALT = 0.0;  //!< energy content at the previous call of ENERGI
    double EANF = 0.0;  //!< energy content at the first call of ENERGI
    double EZEL = 0.0;  //!< heat content of the cell last evaluated by ZELLEN
};

//! GITT: grid geometry [m, m3].
struct GITT {
    Array1<float, IX> ZBRX;  //!< cell width in X of column I
    Array1<float, IY> ZBRY;  //!< cell width in Y of row J
    Array1<float, IZ> ZBRZ;  //!< cell thickness of layer K
    Array1<float, IX> KABX;  //!< distance from node I to node I+1
    Array1<float, IY> KABY;  //!< distance from row J to J+1
    Array1<float, IZ> KABZ;  //!< distance from layer K to K+1
    Array1<float, IX> KORX;  //!< X coordinate of column I
    Array1<float, IY> KORY;  //!< Y coordinate of row J
    Array1<float, IZ> KORZ;  //!< depth of layer K below ground surface
    Array1<float, IX> ABXU;  //!< node I to its face toward I-1
    Array1<float, IX> ABXO;  //!< node I to its face toward I+1
    Array1<float, IY> ABYU;  //!< node J to its face toward J-1
    Array1<float, IY> ABYO;  //!< node J to its face toward J+1
    Array1<float, IZ> ABZU;  //!< node K to its upper face (toward K-1)
    Array1<float, IZ> ABZO;  //!< node K to its lower face (toward K+1)
    Array1<float, IX> GEWX;  //!< weight of node I in the interface mean between I and I+1
    Array1<float, IY> GEWY;  //!< weight of node J between rows J and J+1
    Array1<float, IZ> GEWZ;  //!< weight of node K between layers K and K+1
    NodeArray<float> ZVOL;   //!< cell volume ZBRX*ZBRY*ZBRZ [m3]
};

//! WPOT: heads [m].
struct WPOT {
    NodeArray<float> WPOT;   //!< piezometric head
    NodeArray<float> WPOTA;  //!< head at the end of the previous time step
};

//! TRNS: hydraulic fields.
struct TRNS {
    NodeArray<float> TRSX;  //!< hydraulic conductivity in X [m/s]
    NodeArray<float> TRSY;  //!< hydraulic conductivity in Y [m/s]
    NodeArray<float> TRSZ;  //!< hydraulic conductivity in Z [m/s]
    NodeArray<float> QUEL;  //!< sources (+) and sinks (-) of water [m3/s]
    NodeArray<float> SPEI;  //!< storage coefficient [-]
};

//! PHYS: rock and thermal fields.
struct PHYS {
    NodeArray<float> CPGE;   //!< specific heat capacity of the rock [J/kg*K]
    NodeArray<float> WLKG;   //!< thermal conductivity of the rock [W/m*K]
    float ANISX = 0.0f;      //!< factor on thermal conduction in X
    float ANISY = 0.0f;      //!< factor on thermal conduction in Y
    float ANISZ = 0.0f;      //!< factor on thermal conduction in Z
    NodeArray<float> KFMX;   //!< interface conductivity toward I+1 (hydraulic [m/s] or thermal)
    NodeArray<float> KFMY;   //!< interface conductivity toward J+1
    NodeArray<float> KFMZ;   //!< interface conductivity toward K+1
    NodeArray<float> RHOG;   //!< rock density [kg/m3]
    NodeArray<float> PHIG;   //!< total porosity [fraction]
    NodeArray<float> PHIN;   //!< effective porosity [fraction]
    Array1<float, IZ> SAETT; //!< water saturation of the pore space per layer [fraction]
    NodeArray<float> GWVX;   //!< groundwater velocity through the face toward I+1 [m/s]
    NodeArray<float> GWVY;   //!< groundwater velocity through the face toward J+1 [m/s]
    NodeArray<float> GWVZ;   //!< groundwater velocity through the face toward K+1 [m/s]
};

//! TEMP: temperatures [K].
struct TEMP {
    NodeArray<double> TEMP;   //!< temperature per node
    NodeArray<double> TEMPA;  //!< temperature at the end of the previous time step
    Array1<double, IZ> TGEF;  //!< freezing temperature of the pore water per layer
};

//! IFLD: flag fields.
struct IFLD {
    NodeArray<int32_t> IFLG;   //!< T-flag: 1 variable, 2 constant, 3 heat flux, 4 transfer coefficient, 5 heat exchanger
    NodeArray<int32_t> JFLG;   //!< H-flag: 1 variable head, 2 constant head
    NodeArray<int32_t> IFLU;   //!< fluid flag: 0 no mobile water, 1 horizontal only, -1 vertical only
    Array1<int32_t, IZ> IEIS;  //!< per layer: 1 = the pore water follows a freezing curve
};

//! ENER: heat production and freezing curves.
struct ENER {
    NodeArray<float> SOUC;       //!< internal heat production [W/m3]
    Array2<float, IZ, 3> EISK;   //!< coefficients A, B, C of the liquid-water fraction curve per layer
};

//! KOEF: the seven-point equation store, shared by flow and heat.
struct KOEF {
    NodeArray<float> KDIA;  //!< main diagonal (neighbour coefficients plus KSPE)
    NodeArray<float> KSPE;  //!< storage term
    NodeArray<float> KOXM;  //!< coefficient toward I-1
    NodeArray<float> KOXP;  //!< coefficient toward I+1
    NodeArray<float> KOYM;  //!< coefficient toward J-1
    NodeArray<float> KOYP;  //!< coefficient toward J+1
    NodeArray<float> KOZM;  //!< coefficient toward K-1 (layer above)
    NodeArray<float> KOZP;  //!< coefficient toward K+1 (layer below)
    Array1<float, 6> FKO;   //!< convective mass flow through the six faces of the node in assembly [kg/s]
    Array1<float, 6> AKO;   //!< the six neighbour conductances of the node in assembly
    Array1<float, 6> PKO;   //!< scheme weighting A(|P|) of the six faces
    NodeArray<float> RSEI;  //!< right-hand side
};

//! IADI: tridiagonal line store.
struct IADI {
    Array1<double, MAXLIN> TDX;  //!< solution; on entry the current values of the line
    Array1<double, MAXLIN> TDA;  //!< sub-diagonal
    Array1<double, MAXLIN> TDB;  //!< main diagonal
    Array1<double, MAXLIN> TDC;  //!< super-diagonal
    Array1<double, MAXLIN> TDR;  //!< right-hand side
};

//! INCB: constant neighbour offsets in face order -X,+X,-Y,+Y,-Z,+Z.
struct INCB {
    static constexpr std::array<int32_t, 6> NBI{-1, 1, 0, 0, 0, 0};
    static constexpr std::array<int32_t, 6> NBJ{0, 0, -1, 1, 0, 0};
    static constexpr std::array<int32_t, 6> NBK{0, 0, 0, 0, -1, 1};
    static constexpr std::array<int32_t, 4> UNI{0, 1, 0, 0};
    static constexpr std::array<int32_t, 4> UNJ{0, 0, 1, 0};
    static constexpr std::array<int32_t, 4> UNK{0, 0, 0, 1};
};

//! IZY1: value-conversion table, node indices and range selector.
struct IZY1 {
    Array1<int32_t, IWERT> IORT;  //!< column index I of each entry
    Array1<int32_t, IWERT> JORT;  //!< row index J
    Array1<int32_t, IWERT> KORT;  //!< layer index K
    Array1<int32_t, IWERT> IBER;  //!< range selector
};

//! ZYK1: value-conversion table, values.
struct ZYK1 {
    Array1<float, IWERT> WERT;  //!< value of each entry, in the input unit of its keyword
};

//! ZYK2: value-conversion table, keywords.
struct ZYK2 {
    Array1<Word4, IWERT> SWORT;  //!< keyword of each entry
};

//! FORM: run-time formats of the profile tables.
struct FORM {
    static const std::array<std::string, 8> PRFORM;  //!< row format of profile table N (30 characters)
    static const std::array<std::string, 8> PRTITL;  //!< title format of profile table N (48 characters)
};

//! ZUSD: the reader of the additional data file between its calls.
struct ZUSD {
    std::string ZFORM;              //!< format of the value records (block 3), 20 characters
    Array1<float, IWERT> WLETZT;    //!< value an add-mode entry of the file applied last (0 before the first)
    Array1<int32_t, IWERT> IANGEW;  //!< 1 once an add-mode entry of the file has been applied
};

//! The deck of the run and the files it names, as the result files for
//! other tools state them and keep clear of them.
struct RunDescription {
    std::string deck;              //!< name of the main input file as opened
    std::string title;             //!< card 1, trailing blanks removed
    std::string listing;           //!< listing file of card 5 ("TERMINAL": the console)
    std::string observation_file;  //!< observation file of card 5
    std::string additional_file;   //!< additional data file of card 5
};

//! The whole state of a run.
struct Model {
    NDIM ndim;
    INF1 inf1;
    INF2 inf2;
    INF3 inf3;
    INF4 inf4;
    INF5 inf5;
    IPRO ipro;
    ISOP isop;
    PAR1 par1;
    PAR2 par2;
    PAR3 par3;
    PAR4 par4;
    EKAL ekal;
    GITT gitt;
    WPOT wpot;
    TRNS trns;
    PHYS phys;
    TEMP temp;
    IFLD ifld;
    ENER ener;
    KOEF koef;
    IADI iadi;
    INCB incb;
    IZY1 izy1;
    ZYK1 zyk1;
    ZYK2 zyk2;
    FORM form;
    ZUSD zusd;  //!< additional data file reader state
    RunDescription run;  //!< the deck and its title

    Io io;  //!< the program's units: console, input files, listing, result files
};

//! AUFNUL: clears the equation store and the interface conductivities over the active grid.
void AUFNUL(Model& m);
//! KOPIER: MODE = 1 copies TEMP to TEMPA, any other value WPOT to WPOTA.
void KOPIER(Model& m, int32_t MODE);

}  // namespace gruv
