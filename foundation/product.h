// The products a host of the library can be, by the numbers that hosts, protocol modules and stores
// exchange.
#pragma once

namespace sessiondeck {

// The numbers are kept as they are: the protocol table hands them to modules,
// and hosts pass them through the exported entry points as plain ints.
enum class Product : int {
    None = -1,
    Vetra = 1,
    Vetralon = 3,
    Ferrivo = 6,
    Ssh2Only = 7,
};

constexpr int ProductId(Product product) {
    return static_cast<int>(product);
}

// The product a number names; None for a number no product has, so a stray
// number from outside never matches a product's rows.
constexpr Product ToProduct(int productId) {
    switch (static_cast<Product>(productId)) {
        case Product::Vetra:
        case Product::Vetralon:
        case Product::Ferrivo:
        case Product::Ssh2Only:
            return static_cast<Product>(productId);
        case Product::None:
            break;
    }
    return Product::None;
}

}  // namespace sessiondeck
