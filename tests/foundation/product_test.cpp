// Product numbers: the values hosts, modules and stores exchange, and how a stray number reads.
#include "foundation/product.h"

#include <gtest/gtest.h>

using namespace sessiondeck;

// The numbers cross module boundaries and are stored, so they are pinned here and every product
// reads back from its own number; a number no product has (the list's old end marker 0, the gaps,
// anything a host passes unchecked) reads as None, which no protocol row belongs to.
TEST(ProductTest, NumbersArePinnedAndStrayNumbersReadAsNone) {
    const std::pair<Product, int> rows[] = {{Product::None, -1},
                                            {Product::Vetra, 1},
                                            {Product::Vetralon, 3},
                                            {Product::Ferrivo, 6},
                                            {Product::Ssh2Only, 7}};
    for (const auto& [product, number] : rows) {
        EXPECT_EQ(ProductId(product), number);
        EXPECT_EQ(ToProduct(number), product) << number;
    }
    for (int number : {0, 2, 5, 8, -2, 12345})
        EXPECT_EQ(ToProduct(number), Product::None) << number;
}
