// Fixed-size arrays of the model state, indexed from 1 as the equations are
// written. Node arrays are (I,J,K) with I fastest, sized at the fixed bounds and
// allocated once; range checks are compiled in only with GRUV_BOUNDS_CHECK.
#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "state/bounds.hpp"

namespace gruv {

#ifdef GRUV_BOUNDS_CHECK
[[noreturn]] inline void index_out_of_range(const char* what, long i, long j, long k) {
    std::fprintf(stderr, "interner Fehler: Index ausserhalb der Feldgrenzen in %s (%ld,%ld,%ld)\n", what, i, j, k);
    std::abort();
}
#define GRUV_CHECK_INDEX(cond, what, i, j, k) \
    do { if (!(cond)) ::gruv::index_out_of_range(what, (i), (j), (k)); } while (0)
#else
#define GRUV_CHECK_INDEX(cond, what, i, j, k) ((void)0)
#endif

template <class T>
class NodeArray {  // (I,J,K), 1-based, I fastest, sized at the fixed bounds
public:
    static constexpr std::ptrdiff_t stride_i = 1, stride_j = IX, stride_k = std::ptrdiff_t{IX} * IY;

    T& operator()(int i, int j, int k) noexcept { return data_[offset(i, j, k)]; }
    const T& operator()(int i, int j, int k) const noexcept { return data_[offset(i, j, k)]; }

    //! Pointer to (1,J,K): the row J of layer K, NX values at unit stride.
    T* row(int j, int k) noexcept { return &data_[offset(1, j, k)]; }
    const T* row(int j, int k) const noexcept { return &data_[offset(1, j, k)]; }

    static std::ptrdiff_t offset(int i, int j, int k) noexcept {
        GRUV_CHECK_INDEX(i >= 1 && i <= IX && j >= 1 && j <= IY && k >= 1 && k <= IZ, "NodeArray", i, j, k);
        return (i - 1) + (j - 1) * stride_j + (k - 1) * stride_k;
    }
    T* data() noexcept { return data_.data(); }
    const T* data() const noexcept { return data_.data(); }
    void fill(T v) { std::fill(data_.begin(), data_.end(), v); }
    //! Exchanges the values of two arrays without copying them.
    void swap(NodeArray& other) noexcept { data_.swap(other.data_); }

private:
    std::vector<T> data_ = std::vector<T>(std::size_t{IX} * IY * IZ);  // allocated once
};

//! One-dimensional array with indices 1..N (per-direction grid arrays, tables).
template <class T, int N>
class Array1 {
public:
    T& operator()(int i) noexcept {
        GRUV_CHECK_INDEX(i >= 1 && i <= N, "Array1", i, 0, 0);
        return data_[static_cast<std::size_t>(i - 1)];
    }
    const T& operator()(int i) const noexcept {
        GRUV_CHECK_INDEX(i >= 1 && i <= N, "Array1", i, 0, 0);
        return data_[static_cast<std::size_t>(i - 1)];
    }
    //! Pointer to element 1, for writing or reading a run of values.
    T* data() noexcept { return data_.data(); }
    const T* data() const noexcept { return data_.data(); }
    static constexpr int size() noexcept { return N; }
    void fill(T v) { data_.fill(v); }

private:
    std::array<T, N> data_{};
};

//! Two-dimensional array (1..N1, 1..N2), first index fastest.
template <class T, int N1, int N2>
class Array2 {
public:
    T& operator()(int i, int j) noexcept {
        GRUV_CHECK_INDEX(i >= 1 && i <= N1 && j >= 1 && j <= N2, "Array2", i, j, 0);
        return data_[static_cast<std::size_t>((i - 1) + (j - 1) * N1)];
    }
    const T& operator()(int i, int j) const noexcept {
        GRUV_CHECK_INDEX(i >= 1 && i <= N1 && j >= 1 && j <= N2, "Array2", i, j, 0);
        return data_[static_cast<std::size_t>((i - 1) + (j - 1) * N1)];
    }

private:
    std::array<T, static_cast<std::size_t>(N1) * N2> data_{};
};

}  // namespace gruv
