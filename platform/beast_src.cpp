// The compiled parts of Boost.Asio and Boost.Beast, built once here rather
// than in every file that uses them (both are used with separate
// compilation throughout the program).
#include <utility>  // boost 1.74 asio needs std::exchange declared first

#include <boost/asio/impl/src.hpp>
#include <boost/beast/src.hpp>
