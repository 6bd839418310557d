#pragma once

#include <QVector>
#include <QtGlobal>

#include <array>
#include <tuple>
#include <type_traits>
#include <utility>

// Sizes of values as a default QDataStream lays them out in a payload: integers
// and bool at their own width, float and double both as 8-byte doubles, a list
// as a qint32 count and its elements.
//
// A record is a struct that lists its fields in wire order once, as
//     template <typename Self> static auto fields(Self& self) { return std::tie(self.a, self.b); }
// The reader, the writer, the size and the equality of the record all follow
// from that list, so the wire order is written down in exactly one place.
namespace Wire {

template <typename T, typename = void>
struct IsRecord : std::false_type
{
};
template <typename T>
struct IsRecord<T, std::void_t<decltype(T::fields(std::declval<T&>()))>> : std::true_type
{
};

template <typename T, typename = void>
struct MinimumSize;

template <typename T>
struct MinimumSize<T, std::enable_if_t<std::is_integral<T>::value>>
{
    static constexpr int value = sizeof(T);
};
template <typename T>
struct MinimumSize<T, std::enable_if_t<std::is_floating_point<T>::value>>
{
    static constexpr int value = 8;
};
template <typename T, std::size_t N>
struct MinimumSize<std::array<T, N>>
{
    static constexpr int value = int(N) * MinimumSize<T>::value;
};
template <typename T>
struct MinimumSize<QVector<T>>
{
    static constexpr int value = 4;
};

template <typename Tuple>
struct TupleMinimumSize;
template <typename... Fields>
struct TupleMinimumSize<std::tuple<Fields...>>
{
    static constexpr int value = (0 + ... + MinimumSize<std::decay_t<Fields>>::value);
};
template <typename T>
struct MinimumSize<T, std::enable_if_t<IsRecord<T>::value>>
{
    static constexpr int value = TupleMinimumSize<decltype(T::fields(std::declval<T&>()))>::value;
};

// Exact size of a value, lists included.
template <typename T>
int sizeOf(const QVector<T>& list);
template <typename T, std::size_t N>
int sizeOf(const std::array<T, N>& values);
template <typename T>
int sizeOf(const T& value);

template <typename T>
int sizeOf(const QVector<T>& list)
{
    if constexpr (!IsRecord<T>::value)
        return MinimumSize<QVector<T>>::value + list.size() * MinimumSize<T>::value;
    int size = MinimumSize<QVector<T>>::value;
    for (const T& element : list)
        size += sizeOf(element);
    return size;
}

template <typename T, std::size_t N>
int sizeOf(const std::array<T, N>&)
{
    return MinimumSize<std::array<T, N>>::value;
}

template <typename T>
int sizeOf(const T& value)
{
    if constexpr (IsRecord<T>::value)
        return std::apply([](const auto&... field) { return (0 + ... + sizeOf(field)); }, T::fields(value));
    else
        return MinimumSize<T>::value;
}

template <typename T>
std::enable_if_t<IsRecord<T>::value, bool> equal(const T& a, const T& b)
{
    return T::fields(a) == T::fields(b);
}

} // namespace Wire
