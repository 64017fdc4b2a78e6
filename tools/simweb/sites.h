#pragma once
// Host names of the outside sites the built-in catalogue reads, each the
// site's own well-known host, for the simulated web that stands in for them
// and for the tests. The program itself knows them only from its catalogue.
namespace veltrop::hosts {

inline constexpr const char* clearstation = "www.clearstation.com";
inline constexpr const char* nasdaq = "www.nasdaq.com";
inline constexpr const char* wallstreettape = "www.wallstreettape.com";
inline constexpr const char* cnetInvestor = "investor.cnet.com";
inline constexpr const char* upside = "www.upside.com";
inline constexpr const char* barchart = "www.barchart.com";
inline constexpr const char* standardPoors = "www.spglobal.com";
inline constexpr const char* quotes = "www.washingtonpost.com";  // quick-quotes page
inline constexpr const char* marketwatch = "www.marketwatch.com";
inline constexpr const char* telescan = "www.telescan.com";
inline constexpr const char* forbes = "www.forbes.com";
inline constexpr const char* validea = "www.validea.com";
inline constexpr const char* ibd = "www.investors.com";
inline constexpr const char* zacks = "my.zacks.com";
// The maker's own site lives under a reserved example domain.
inline constexpr const char* maker = "www.pellamys-veltrop.example";

} // namespace veltrop::hosts
