// VArray, VStringArray, VList and VMap: thin, checked wrappers over the standard containers.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <list>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/export.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

// The only exception the library raises: an index outside 0 to size-1.
class SESSIONDECK_API VArrayOutOfRange : public std::out_of_range {
public:
    VArrayOutOfRange() : std::out_of_range("VArray index out of range") {}
};

// A growable array. Element access is checked and raises OutOfRange.
template <class T>
class VArray {
public:
    using OutOfRange = VArrayOutOfRange;
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    VArray() = default;
    VArray(std::initializer_list<T> items) : m_items(items) {}
    explicit VArray(std::vector<T> items) : m_items(std::move(items)) {}

    size_t GetSize() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    size_t GetCapacity() const { return m_items.capacity(); }
    void Reserve(size_t capacity) { m_items.reserve(capacity); }

    T& operator[](size_t index) { return m_items.at(Check(index)); }
    const T& operator[](size_t index) const { return m_items.at(Check(index)); }
    T& GetAt(size_t index) { return (*this)[index]; }
    const T& GetAt(size_t index) const { return (*this)[index]; }

    size_t Add(T item) {
        m_items.push_back(std::move(item));
        return m_items.size() - 1;
    }
    void InsertAt(size_t index, T item) {
        if (index > m_items.size()) throw OutOfRange();
        m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
    }
    void RemoveAt(size_t index) {
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(Check(index)));
    }
    void RemoveAll() { m_items.clear(); }
    void SetSize(size_t size) { m_items.resize(size); }

    iterator begin() { return m_items.begin(); }
    iterator end() { return m_items.end(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

    std::vector<T>& std() { return m_items; }
    const std::vector<T>& std() const { return m_items; }

    friend bool operator==(const VArray& a, const VArray& b) = default;

private:
    size_t Check(size_t index) const {
        if (index >= m_items.size()) throw OutOfRange();
        return index;
    }
    std::vector<T> m_items;
};

// The value type of string-array settings.
class VStringArray : public VArray<VUnicodeString> {
public:
    using VArray<VUnicodeString>::VArray;
    friend bool operator==(const VStringArray& a, const VStringArray& b) {
        return static_cast<const VArray<VUnicodeString>&>(a) ==
               static_cast<const VArray<VUnicodeString>&>(b);
    }
};

// A linked list.
template <class T>
class VList {
public:
    using iterator = typename std::list<T>::iterator;
    using const_iterator = typename std::list<T>::const_iterator;

    size_t GetCount() const { return m_items.size(); }
    bool IsEmpty() const { return m_items.empty(); }
    void AddHead(T item) { m_items.push_front(std::move(item)); }
    void AddTail(T item) { m_items.push_back(std::move(item)); }
    T RemoveHead() {
        T item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }
    void RemoveAll() { m_items.clear(); }
    iterator Erase(iterator where) { return m_items.erase(where); }
    iterator begin() { return m_items.begin(); }
    iterator end() { return m_items.end(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }

private:
    std::list<T> m_items;
};

// A hash map whose bucket count is fixed at construction, as the callers size
// it for the data they expect.
template <class K, class V, class Hash = std::hash<K>>
class VMap {
public:
    explicit VMap(size_t buckets = 17) : m_items(buckets) {}

    void SetAt(const K& key, V value) { m_items.insert_or_assign(key, std::move(value)); }
    bool Lookup(const K& key, V& value) const {
        auto it = m_items.find(key);
        if (it == m_items.end()) return false;
        value = it->second;
        return true;
    }
    V* Find(const K& key) {
        auto it = m_items.find(key);
        return it == m_items.end() ? nullptr : &it->second;
    }
    const V* Find(const K& key) const {
        auto it = m_items.find(key);
        return it == m_items.end() ? nullptr : &it->second;
    }
    bool RemoveKey(const K& key) { return m_items.erase(key) != 0; }
    void RemoveAll() { m_items.clear(); }
    size_t GetCount() const { return m_items.size(); }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::unordered_map<K, V, Hash> m_items;
};

struct VUnicodeStringHash {
    size_t operator()(const VUnicodeString& s) const {
        return std::hash<std::u16string>()(s.str());
    }
};

}  // namespace sessiondeck
