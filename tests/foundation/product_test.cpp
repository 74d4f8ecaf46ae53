// Product numbers: the values hosts, modules and stores exchange, and how a stray number reads.
#include "foundation/product.h"

#include <gtest/gtest.h>

using namespace sessiondeck;

namespace {

// The numbers cross module boundaries and are stored, so they are pinned here
// and every product reads back from its own number.
TEST(ProductTest, NumbersArePinnedAndReadBack) {
    const struct {
        Product product;
        int number;
    } rows[] = {
        {Product::None, -1},   {Product::Vetra, 1},    {Product::Vetralon, 3},
        {Product::Ferrivo, 6}, {Product::Ssh2Only, 7},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ProductId(row.product), row.number);
        EXPECT_EQ(ToProduct(row.number), row.product) << row.number;
    }
}

// A number no product has (the list's old end marker 0, the gaps, anything a
// host passes unchecked) reads as None, which no protocol row belongs to.
TEST(ProductTest, StrayNumbersReadAsNone) {
    for (int number : {0, 2, 4, 5, 8, -2, 12345}) {
        EXPECT_EQ(ToProduct(number), Product::None) << number;
    }
}

}  // namespace
