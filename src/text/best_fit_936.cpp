// The look-alikes that Windows' code page 936 gives characters GBK has no code for, as the INI
// differential (scripts/wine-test.sh) measured them: the private use area as GBK's user-defined
// areas, and a table of the rest.
#include "text/best_fit_936.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace quillon {

namespace {

struct BestFit {
  uint16_t codePoint;
  const char* gbk;
};

// clang-format off
constexpr BestFit kBestFits[] = {
    {0x00A2, "\xA1\xE9"}, {0x00A3, "\xA1\xEA"}, {0x00A5, "\xA3\xA4"}, {0x00A6, "|"}, {0x00AA, "a"},
    {0x00AD, "-"}, {0x00AF, "\xA1\xA5"}, {0x00B2, "2"}, {0x00B3, "3"}, {0x00B4, "\xA1\xE4"},
    {0x00B5, "\xA6\xCC"}, {0x00B9, "1"}, {0x00BA, "o"}, {0x00C0, "\xA8\xA4"}, {0x00C1, "\xA8\xA2"},
    {0x00C8, "\xA8\xA8"}, {0x00C9, "\xA8\xA6"}, {0x00CA, "\xA8\xBA"}, {0x00CC, "\xA8\xAC"}, {0x00CD, "\xA8\xAA"},
    {0x00D0, "D"}, {0x00D2, "\xA8\xB0"}, {0x00D3, "\xA8\xAE"}, {0x00D9, "\xA8\xB4"}, {0x00DA, "\xA8\xB2"},
    {0x00DC, "\xA8\xB9"}, {0x00DD, "Y"}, {0x00DE, "T"}, {0x00E2, "a"}, {0x00F0, "e"},
    {0x00FD, "y"}, {0x00FE, "t"}, {0x0100, "\xA8\xA1"}, {0x0112, "\xA8\xA5"}, {0x011A, "\xA8\xA7"},
    {0x012A, "\xA8\xA9"}, {0x014C, "\xA8\xAD"}, {0x016A, "\xA8\xB1"}, {0x01C1, "\xA1\xCE"}, {0x01CD, "\xA8\xA3"},
    {0x01CF, "\xA8\xAB"}, {0x01D1, "\xA8\xAF"}, {0x01D3, "\xA8\xB3"}, {0x01D5, "\xA8\xB5"}, {0x01D7, "\xA8\xB6"},
    {0x01D9, "\xA8\xB7"}, {0x01DB, "\xA8\xB8"}, {0x203E, "\xA3\xFE"}, {0x2218, "\xA1\xE3"}, {0x223C, "\xA1\xAB"},
    {0x3192, "\xD2\xBB"}, {0x3193, "\xB6\xFE"}, {0x3194, "\xC8\xFD"}, {0x3195, "\xCB\xC4"}, {0x3196, "\xC9\xCF"},
    {0x3197, "\xD6\xD0"}, {0x3198, "\xCF\xC2"}, {0x3199, "\xBC\xD7"}, {0x319A, "\xD2\xD2"}, {0x319B, "\xB1\xFB"},
    {0x319C, "\xB6\xA1"}, {0x319D, "\xCC\xEC"}, {0x319E, "\xB5\xD8"}, {0x319F, "\xC8\xCB"}, {0x322A, "\xD4\xC2"},
    {0x322B, "\xBB\xF0"}, {0x322C, "\xCB\xAE"}, {0x322D, "\xC4\xBE"}, {0x322E, "\xBD\xF0"}, {0x322F, "\xCD\xC1"},
    {0x3230, "\xC8\xD5"}, {0x3232, "\xD3\xD0"}, {0x3233, "\xC9\xE7"}, {0x3234, "\xC3\xFB"}, {0x3235, "\xCC\xD8"},
    {0x3236, "\xB2\xC6"}, {0x3237, "\xD7\xA3"}, {0x3238, "\xC0\xCD"}, {0x3239, "\xB4\xFA"}, {0x323A, "\xBA\xF4"},
    {0x323B, "\xD1\xA7"}, {0x323C, "\xBC\xE0"}, {0x323D, "\xC6\xF3"}, {0x323E, "\xD7\xCA"}, {0x323F, "\xD0\xAD"},
    {0x3240, "\xBC\xC0"}, {0x3241, "\xD0\xDD"}, {0x3242, "\xD7\xD4"}, {0x3243, "\xD6\xC1"}, {0x3280, "\xD2\xBB"},
    {0x3281, "\xB6\xFE"}, {0x3282, "\xC8\xFD"}, {0x3283, "\xCB\xC4"}, {0x3284, "\xCE\xE5"}, {0x3285, "\xC1\xF9"},
    {0x3286, "\xC6\xDF"}, {0x3287, "\xB0\xCB"}, {0x3288, "\xBE\xC5"}, {0x3289, "\xCA\xAE"}, {0x328A, "\xD4\xC2"},
    {0x328B, "\xBB\xF0"}, {0x328C, "\xCB\xAE"}, {0x328D, "\xC4\xBE"}, {0x328E, "\xBD\xF0"}, {0x328F, "\xCD\xC1"},
    {0x3290, "\xC8\xD5"}, {0x3291, "\xD6\xEA"}, {0x3292, "\xD3\xD0"}, {0x3293, "\xC9\xE7"}, {0x3294, "\xC3\xFB"},
    {0x3295, "\xCC\xD8"}, {0x3296, "\xB2\xC6"}, {0x3297, "\xD7\xA3"}, {0x3298, "\xC0\xCD"}, {0x3299, "\xC3\xD8"},
    {0x329A, "\xC4\xD0"}, {0x329B, "\xC5\xAE"}, {0x329C, "\xCA\xCA"}, {0x329D, "\xD3\xC5"}, {0x329F, "\xD7\xA2"},
    {0x32A0, "\xCF\xEE"}, {0x32A1, "\xD0\xDD"}, {0x32A2, "\xD0\xB4"}, {0x32A9, "\xD2\xBD"}, {0x32AA, "\xD7\xDA"},
    {0x32AB, "\xD1\xA7"}, {0x32AC, "\xBC\xE0"}, {0x32AD, "\xC6\xF3"}, {0x32AE, "\xD7\xCA"}, {0x32AF, "\xD0\xAD"},
    {0x32B0, "\xD2\xB9"}, {0xE766, "\xA2\xAB"}, {0xE767, "\xA2\xAC"}, {0xE768, "\xA2\xAD"}, {0xE769, "\xA2\xAE"},
    {0xE76A, "\xA2\xAF"}, {0xE76B, "\xA2\xB0"}, {0xE76C, "\xA2\xE3"}, {0xE76D, "\xA2\xE4"}, {0xE76E, "\xA2\xEF"},
    {0xE76F, "\xA2\xF0"}, {0xE770, "\xA2\xFD"}, {0xE771, "\xA2\xFE"}, {0xE772, "\xA4\xF4"}, {0xE773, "\xA4\xF5"},
    {0xE774, "\xA4\xF6"}, {0xE775, "\xA4\xF7"}, {0xE776, "\xA4\xF8"}, {0xE777, "\xA4\xF9"}, {0xE778, "\xA4\xFA"},
    {0xE779, "\xA4\xFB"}, {0xE77A, "\xA4\xFC"}, {0xE77B, "\xA4\xFD"}, {0xE77C, "\xA4\xFE"}, {0xE77D, "\xA5\xF7"},
    {0xE77E, "\xA5\xF8"}, {0xE77F, "\xA5\xF9"}, {0xE780, "\xA5\xFA"}, {0xE781, "\xA5\xFB"}, {0xE782, "\xA5\xFC"},
    {0xE783, "\xA5\xFD"}, {0xE784, "\xA5\xFE"}, {0xE785, "\xA6\xB9"}, {0xE786, "\xA6\xBA"}, {0xE787, "\xA6\xBB"},
    {0xE788, "\xA6\xBC"}, {0xE789, "\xA6\xBD"}, {0xE78A, "\xA6\xBE"}, {0xE78B, "\xA6\xBF"}, {0xE78C, "\xA6\xC0"},
    {0xE78D, "\xA6\xD9"}, {0xE78E, "\xA6\xDA"}, {0xE78F, "\xA6\xDB"}, {0xE790, "\xA6\xDC"}, {0xE791, "\xA6\xDD"},
    {0xE792, "\xA6\xDE"}, {0xE793, "\xA6\xDF"}, {0xE794, "\xA6\xEC"}, {0xE795, "\xA6\xED"}, {0xE796, "\xA6\xF3"},
    {0xE797, "\xA6\xF6"}, {0xE798, "\xA6\xF7"}, {0xE799, "\xA6\xF8"}, {0xE79A, "\xA6\xF9"}, {0xE79B, "\xA6\xFA"},
    {0xE79C, "\xA6\xFB"}, {0xE79D, "\xA6\xFC"}, {0xE79E, "\xA6\xFD"}, {0xE79F, "\xA6\xFE"}, {0xE7A0, "\xA7\xC2"},
    {0xE7A1, "\xA7\xC3"}, {0xE7A2, "\xA7\xC4"}, {0xE7A3, "\xA7\xC5"}, {0xE7A4, "\xA7\xC6"}, {0xE7A5, "\xA7\xC7"},
    {0xE7A6, "\xA7\xC8"}, {0xE7A7, "\xA7\xC9"}, {0xE7A8, "\xA7\xCA"}, {0xE7A9, "\xA7\xCB"}, {0xE7AA, "\xA7\xCC"},
    {0xE7AB, "\xA7\xCD"}, {0xE7AC, "\xA7\xCE"}, {0xE7AD, "\xA7\xCF"}, {0xE7AE, "\xA7\xD0"}, {0xE7AF, "\xA7\xF2"},
    {0xE7B0, "\xA7\xF3"}, {0xE7B1, "\xA7\xF4"}, {0xE7B2, "\xA7\xF5"}, {0xE7B3, "\xA7\xF6"}, {0xE7B4, "\xA7\xF7"},
    {0xE7B5, "\xA7\xF8"}, {0xE7B6, "\xA7\xF9"}, {0xE7B7, "\xA7\xFA"}, {0xE7B8, "\xA7\xFB"}, {0xE7B9, "\xA7\xFC"},
    {0xE7BA, "\xA7\xFD"}, {0xE7BB, "\xA7\xFE"}, {0xE7BC, "\xA8\x96"}, {0xE7BD, "\xA8\x97"}, {0xE7BE, "\xA8\x98"},
    {0xE7BF, "\xA8\x99"}, {0xE7C0, "\xA8\x9A"}, {0xE7C1, "\xA8\x9B"}, {0xE7C2, "\xA8\x9C"}, {0xE7C3, "\xA8\x9D"},
    {0xE7C4, "\xA8\x9E"}, {0xE7C5, "\xA8\x9F"}, {0xE7C6, "\xA8\xA0"}, {0xE7C7, "\xA8\xBC"}, {0xE7C8, "\xA8\xBF"},
    {0xE7C9, "\xA8\xC1"}, {0xE7CA, "\xA8\xC2"}, {0xE7CB, "\xA8\xC3"}, {0xE7CC, "\xA8\xC4"}, {0xE7CD, "\xA8\xEA"},
    {0xE7CE, "\xA8\xEB"}, {0xE7CF, "\xA8\xEC"}, {0xE7D0, "\xA8\xED"}, {0xE7D1, "\xA8\xEE"}, {0xE7D2, "\xA8\xEF"},
    {0xE7D3, "\xA8\xF0"}, {0xE7D4, "\xA8\xF1"}, {0xE7D5, "\xA8\xF2"}, {0xE7D6, "\xA8\xF3"}, {0xE7D7, "\xA8\xF4"},
    {0xE7D8, "\xA8\xF5"}, {0xE7D9, "\xA8\xF6"}, {0xE7DA, "\xA8\xF7"}, {0xE7DB, "\xA8\xF8"}, {0xE7DC, "\xA8\xF9"},
    {0xE7DD, "\xA8\xFA"}, {0xE7DE, "\xA8\xFB"}, {0xE7DF, "\xA8\xFC"}, {0xE7E0, "\xA8\xFD"}, {0xE7E1, "\xA8\xFE"},
    {0xE7E2, "\xA9\x58"}, {0xE7E3, "\xA9\x5B"}, {0xE7E4, "\xA9\x5D"}, {0xE7E5, "\xA9\x5E"}, {0xE7E6, "\xA9\x5F"},
    {0xE7E7, "\xA9\x89"}, {0xE7E8, "\xA9\x8A"}, {0xE7E9, "\xA9\x8B"}, {0xE7EA, "\xA9\x8C"}, {0xE7EB, "\xA9\x8D"},
    {0xE7EC, "\xA9\x8E"}, {0xE7ED, "\xA9\x8F"}, {0xE7EE, "\xA9\x90"}, {0xE7EF, "\xA9\x91"}, {0xE7F0, "\xA9\x92"},
    {0xE7F1, "\xA9\x93"}, {0xE7F2, "\xA9\x94"}, {0xE7F3, "\xA9\x95"}, {0xE7F4, "\xA9\x97"}, {0xE7F5, "\xA9\x98"},
    {0xE7F6, "\xA9\x99"}, {0xE7F7, "\xA9\x9A"}, {0xE7F8, "\xA9\x9B"}, {0xE7F9, "\xA9\x9C"}, {0xE7FA, "\xA9\x9D"},
    {0xE7FB, "\xA9\x9E"}, {0xE7FC, "\xA9\x9F"}, {0xE7FD, "\xA9\xA0"}, {0xE7FE, "\xA9\xA1"}, {0xE7FF, "\xA9\xA2"},
    {0xE800, "\xA9\xA3"}, {0xE801, "\xA9\xF0"}, {0xE802, "\xA9\xF1"}, {0xE803, "\xA9\xF2"}, {0xE804, "\xA9\xF3"},
    {0xE805, "\xA9\xF4"}, {0xE806, "\xA9\xF5"}, {0xE807, "\xA9\xF6"}, {0xE808, "\xA9\xF7"}, {0xE809, "\xA9\xF8"},
    {0xE80A, "\xA9\xF9"}, {0xE80B, "\xA9\xFA"}, {0xE80C, "\xA9\xFB"}, {0xE80D, "\xA9\xFC"}, {0xE80E, "\xA9\xFD"},
    {0xE80F, "\xA9\xFE"}, {0xE810, "\xD7\xFA"}, {0xE811, "\xD7\xFB"}, {0xE812, "\xD7\xFC"}, {0xE813, "\xD7\xFD"},
    {0xE814, "\xD7\xFE"}, {0xE815, "\xFE\x50"}, {0xE816, "\xFE\x51"}, {0xE817, "\xFE\x52"}, {0xE818, "\xFE\x53"},
    {0xE819, "\xFE\x54"}, {0xE81A, "\xFE\x55"}, {0xE81B, "\xFE\x56"}, {0xE81C, "\xFE\x57"}, {0xE81D, "\xFE\x58"},
    {0xE81E, "\xFE\x59"}, {0xE81F, "\xFE\x5A"}, {0xE820, "\xFE\x5B"}, {0xE821, "\xFE\x5C"}, {0xE822, "\xFE\x5D"},
    {0xE823, "\xFE\x5E"}, {0xE824, "\xFE\x5F"}, {0xE825, "\xFE\x60"}, {0xE826, "\xFE\x61"}, {0xE827, "\xFE\x62"},
    {0xE828, "\xFE\x63"}, {0xE829, "\xFE\x64"}, {0xE82A, "\xFE\x65"}, {0xE82B, "\xFE\x66"}, {0xE82C, "\xFE\x67"},
    {0xE82D, "\xFE\x68"}, {0xE82E, "\xFE\x69"}, {0xE82F, "\xFE\x6A"}, {0xE830, "\xFE\x6B"}, {0xE831, "\xFE\x6C"},
    {0xE832, "\xFE\x6D"}, {0xE833, "\xFE\x6E"}, {0xE834, "\xFE\x6F"}, {0xE835, "\xFE\x70"}, {0xE836, "\xFE\x71"},
    {0xE837, "\xFE\x72"}, {0xE838, "\xFE\x73"}, {0xE839, "\xFE\x74"}, {0xE83A, "\xFE\x75"}, {0xE83B, "\xFE\x76"},
    {0xE83C, "\xFE\x77"}, {0xE83D, "\xFE\x78"}, {0xE83E, "\xFE\x79"}, {0xE83F, "\xFE\x7A"}, {0xE840, "\xFE\x7B"},
    {0xE841, "\xFE\x7C"}, {0xE842, "\xFE\x7D"}, {0xE843, "\xFE\x7E"}, {0xE844, "\xFE\x80"}, {0xE845, "\xFE\x81"},
    {0xE846, "\xFE\x82"}, {0xE847, "\xFE\x83"}, {0xE848, "\xFE\x84"}, {0xE849, "\xFE\x85"}, {0xE84A, "\xFE\x86"},
    {0xE84B, "\xFE\x87"}, {0xE84C, "\xFE\x88"}, {0xE84D, "\xFE\x89"}, {0xE84E, "\xFE\x8A"}, {0xE84F, "\xFE\x8B"},
    {0xE850, "\xFE\x8C"}, {0xE851, "\xFE\x8D"}, {0xE852, "\xFE\x8E"}, {0xE853, "\xFE\x8F"}, {0xE854, "\xFE\x90"},
    {0xE855, "\xFE\x91"}, {0xE856, "\xFE\x92"}, {0xE857, "\xFE\x93"}, {0xE858, "\xFE\x94"}, {0xE859, "\xFE\x95"},
    {0xE85A, "\xFE\x96"}, {0xE85B, "\xFE\x97"}, {0xE85C, "\xFE\x98"}, {0xE85D, "\xFE\x99"}, {0xE85E, "\xFE\x9A"},
    {0xE85F, "\xFE\x9B"}, {0xE860, "\xFE\x9C"}, {0xE861, "\xFE\x9D"}, {0xE862, "\xFE\x9E"}, {0xE863, "\xFE\x9F"},
    {0xE864, "\xFE\xA0"}, {0xF8F5, "\xFF"}, {0xF900, "\xD8\x4D"}, {0xF901, "\xB8\xFC"}, {0xF902, "\xDC\x87"},
    {0xF903, "\xD9\x5A"}, {0xF904, "\xBB\xAC"}, {0xF905, "\xB4\xAE"}, {0xF906, "\xBE\xE4"}, {0xF907, "\xFD\x94"},
    {0xF908, "\xFD\x94"}, {0xF909, "\xC6\xF5"}, {0xF90A, "\xBD\xF0"}, {0xF90B, "\xC0\xAE"}, {0xF90C, "\xC4\xCE"},
    {0xF90D, "\x91\xD0"}, {0xF90E, "\xB0\x5D"}, {0xF90F, "\xC1\x5F"}, {0xF910, "\xCC\x7D"}, {0xF911, "\xC2\xDD"},
    {0xF912, "\xC2\xE3"}, {0xF913, "\xDF\x89"}, {0xF914, "\x98\xB7"}, {0xF915, "\xC2\xE5"}, {0xF916, "\xC0\xD3"},
    {0xF917, "\xE7\xF3"}, {0xF918, "\xC2\xE4"}, {0xF919, "\xC0\xD2"}, {0xF91A, "\xF1\x98"}, {0xF91B, "\x81\x79"},
    {0xF91C, "\xC2\xD1"}, {0xF91D, "\x99\xDA"}, {0xF91E, "\xA0\x80"}, {0xF91F, "\xCC\x6D"}, {0xF920, "\xFB\x5B"},
    {0xF921, "\x8D\xB9"}, {0xF922, "\x9E\x45"}, {0xF923, "\xCB\x7B"}, {0xF924, "\xD2\x68"}, {0xF925, "\xC0\xAD"},
    {0xF926, "\xC5\x44"}, {0xF927, "\xCF\x9E"}, {0xF928, "\xC0\xC8"}, {0xF929, "\xC0\xCA"}, {0xF92A, "\xC0\xCB"},
    {0xF92B, "\xC0\xC7"}, {0xF92D, "\x81\xED"}, {0xF92E, "\xC0\xE4"}, {0xF92F, "\x84\xDA"}, {0xF930, "\x93\xEF"},
    {0xF931, "\x99\xA9"}, {0xF932, "\xA0\x74"}, {0xF933, "\xB1\x52"}, {0xF934, "\xC0\xCF"}, {0xF935, "\xCC\x4A"},
    {0xF936, "\xCC\x94"}, {0xF937, "\xC2\xB7"}, {0xF938, "\xC2\xB6"}, {0xF939, "\xF4\x94"}, {0xF93A, "\xFA\x98"},
    {0xF93B, "\xC2\xB5"}, {0xF93C, "\xB5\x93"}, {0xF93D, "\xBE\x47"}, {0xF93E, "\xC7\x8A"}, {0xF93F, "\xE4\x9B"},
    {0xF940, "\xC2\xB9"}, {0xF941, "\xD5\x93"}, {0xF942, "\x89\xC5"}, {0xF943, "\xC5\xAA"}, {0xF944, "\xBB\x5C"},
    {0xF945, "\xC3\x40"}, {0xF946, "\xC0\xCE"}, {0xF947, "\xC0\xDA"}, {0xF948, "\xD9\x54"}, {0xF949, "\xC0\xD7"},
    {0xF94A, "\x89\xBE"}, {0xF94B, "\x8C\xD2"}, {0xF94C, "\x98\xC7"}, {0xF94D, "\x9C\x49"}, {0xF94E, "\xC2\xA9"},
    {0xF94F, "\xC0\xDB"}, {0xF950, "\xBF\x7C"}, {0xF951, "\xC2\xAA"}, {0xF952, "\xC0\xD5"}, {0xF953, "\xC0\xDF"},
    {0xF954, "\x84\x43"}, {0xF955, "\xC1\xE8"}, {0xF956, "\xB6\xA0"}, {0xF957, "\xBE\x63"}, {0xF958, "\xC1\xE2"},
    {0xF959, "\xC1\xEA"}, {0xF95A, "\xD7\x78"}, {0xF95B, "\x92\x82"}, {0xF95C, "\x98\xB7"}, {0xF95D, "\xD6\x5A"},
    {0xF95E, "\xB5\xA4"}, {0xF95F, "\x8C\x8E"}, {0xF960, "\xC5\xAD"}, {0xF961, "\xC2\xCA"}, {0xF962, "\xAE\x90"},
    {0xF963, "\xB1\xB1"}, {0xF964, "\xB4\x91"}, {0xF965, "\xB1\xE3"}, {0xF966, "\x8F\xCD"}, {0xF967, "\xB2\xBB"},
    {0xF968, "\xC3\xDA"}, {0xF969, "\x94\xB5"}, {0xF96A, "\xCB\xF7"}, {0xF96B, "\x85\xA2"}, {0xF96C, "\xC8\xFB"},
    {0xF96D, "\xCA\xA1"}, {0xF96E, "\xC8\x7E"}, {0xF96F, "\xD5\x66"}, {0xF970, "\x9A\xA2"}, {0xF971, "\xB3\xBD"},
    {0xF972, "\xC9\xF2"}, {0xF973, "\xCA\xB0"}, {0xF974, "\xC8\xF4"}, {0xF975, "\xC2\xD3"}, {0xF976, "\xC2\xD4"},
    {0xF977, "\xC1\xC1"}, {0xF978, "\x83\xC9"}, {0xF97A, "\xC1\xBA"}, {0xF97B, "\xBC\x5A"}, {0xF97C, "\xC1\xBC"},
    {0xF97D, "\xD5\x8F"}, {0xF97E, "\xC1\xBF"}, {0xF97F, "\x84\xEE"}, {0xF980, "\x85\xCE"}, {0xF981, "\xC5\xAE"},
    {0xF982, "\x8F\x5D"}, {0xF983, "\xC2\xC3"}, {0xF984, "\x9E\x56"}, {0xF985, "\xB5\x5A"}, {0xF986, "\xE9\x82"},
    {0xF987, "\xF3\x50"}, {0xF988, "\xFB\x90"}, {0xF989, "\xC0\xE8"}, {0xF98A, "\xC1\xA6"}, {0xF98B, "\x95\xD1"},
    {0xF98C, "\x9A\x76"}, {0xF98D, "\xDE\x5D"}, {0xF98E, "\xC4\xEA"}, {0xF98F, "\x91\x7A"}, {0xF990, "\x91\xD9"},
    {0xF991, "\x93\xD3"}, {0xF992, "\x9D\x69"}, {0xF993, "\x9F\x92"}, {0xF994, "\xAD\x49"}, {0xF996, "\xBE\x9A"},
    {0xF997, "\xC2\x93"}, {0xF998, "\xDD\x82"}, {0xF999, "\xC9\x8F"}, {0xF99A, "\xDF\x42"}, {0xF99B, "\xE5\x80"},
    {0xF99C, "\xC1\xD0"}, {0xF99D, "\xC1\xD3"}, {0xF99E, "\xD1\xCA"}, {0xF99F, "\xC1\xD2"}, {0xF9A0, "\xC1\xD1"},
    {0xF9A1, "\xD5\x66"}, {0xF9A2, "\xC1\xAE"}, {0xF9A3, "\xC4\xEE"}, {0xF9A4, "\xC4\xED"}, {0xF9A5, "\x9A\x9A"},
    {0xF9A6, "\xBA\x9F"}, {0xF9A7, "\xAB\x43"}, {0xF9A8, "\xC1\xEE"}, {0xF9A9, "\xE0\xF2"}, {0xF9AA, "\x8C\x8E"},
    {0xF9AB, "\x8E\x58"}, {0xF9AC, "\xC1\xAF"}, {0xF9AD, "\xC1\xE1"}, {0xF9AE, "\xAC\x93"}, {0xF9AF, "\xC1\xE7"},
    {0xF9B0, "\xF1\xF6"}, {0xF9B1, "\xE2\x8F"}, {0xF9B2, "\xC1\xE3"}, {0xF9B3, "\xEC\x60"}, {0xF9B4, "\xEE\x49"},
    {0xF9B5, "\xC0\xFD"}, {0xF9B6, "\xB6\x59"}, {0xF9B7, "\xF5\xB7"}, {0xF9B8, "\xEB\x60"}, {0xF9B9, "\x90\xBA"},
    {0xF9BA, "\xC1\xCB"}, {0xF9BB, "\xC1\xC5"}, {0xF9BC, "\xE5\xBC"}, {0xF9BD, "\xC4\xF2"}, {0xF9BE, "\xC1\xCF"},
    {0xF9BF, "\x98\xB7"}, {0xF9C0, "\xC1\xC7"}, {0xF9C1, "\xAF\x9F"}, {0xF9C2, "\xDE\xA4"}, {0xF9C3, "\xDF\x7C"},
    {0xF9C4, "\xFD\x88"}, {0xF9C5, "\x95\x9E"}, {0xF9C6, "\xC8\xEE"}, {0xF9C7, "\x84\xA2"}, {0xF9C8, "\x96\x83"},
    {0xF9C9, "\xC1\xF8"}, {0xF9CA, "\xC1\xF7"}, {0xF9CB, "\xC1\xEF"}, {0xF9CC, "\xC1\xF0"}, {0xF9CD, "\xC1\xF4"},
    {0xF9CE, "\xC1\xF2"}, {0xF9CF, "\xBC\x7E"}, {0xF9D0, "\xEE\x90"}, {0xF9D1, "\xC1\xF9"}, {0xF9D2, "\xC2\xBE"},
    {0xF9D3, "\xEA\x91"}, {0xF9D4, "\x82\x90"}, {0xF9D5, "\x8D\x91"}, {0xF9D6, "\x9C\x53"}, {0xF9D7, "\xDD\x86"},
    {0xF9D8, "\xC2\xC9"}, {0xF9D9, "\x90\xFC"}, {0xF9DA, "\xC0\xF5"}, {0xF9DB, "\xC2\xCA"}, {0xF9DC, "\xC2\xA1"},
    {0xF9DD, "\xC0\xFB"}, {0xF9DE, "\xC0\xF4"}, {0xF9DF, "\xC2\xC4"}, {0xF9E0, "\xD2\xD7"}, {0xF9E1, "\xC0\xEE"},
    {0xF9E2, "\xC0\xE6"}, {0xF9E3, "\xC4\xE0"}, {0xF9E4, "\xC0\xED"}, {0xF9E5, "\xC1\xA1"}, {0xF9E6, "\xEE\xBE"},
    {0xF9E8, "\xD1\x65"}, {0xF9E9, "\xC0\xEF"}, {0xF9EA, "\xEB\x78"}, {0xF9EB, "\xC4\xE4"}, {0xF9EC, "\xC4\xE7"},
    {0xF9ED, "\xC1\xDF"}, {0xF9EE, "\x9F\xFB"}, {0xF9EF, "\xAD\x55"}, {0xF9F0, "\xCC\x41"}, {0xF9F2, "\xF7\x5B"},
    {0xF9F3, "\xF7\xEB"}, {0xF9F4, "\xC1\xD6"}, {0xF9F5, "\xC1\xDC"}, {0xF9F6, "\xC5\x52"}, {0xF9F7, "\xC1\xA2"},
    {0xF9F8, "\xF3\xD2"}, {0xF9F9, "\xC1\xA3"}, {0xF9FA, "\xA0\xEE"}, {0xF9FB, "\xD6\xCB"}, {0xF9FC, "\xD7\x52"},
    {0xF9FD, "\xCA\xB2"}, {0xF9FE, "\xB2\xE8"}, {0xF9FF, "\xB4\xCC"}, {0xFA00, "\xC7\xD0"}, {0xFA01, "\xB6\xC8"},
    {0xFA02, "\xCD\xD8"}, {0xFA03, "\xCC\xC7"}, {0xFA04, "\xD5\xAC"}, {0xFA05, "\xB6\xB4"}, {0xFA06, "\xB1\xA9"},
    {0xFA07, "\xDD\x97"}, {0xFA08, "\xD0\xD0"}, {0xFA09, "\xBD\xB5"}, {0xFA0A, "\xD2\x8A"}, {0xFA0B, "\xC0\xAA"},
    {0xFA10, "\x89\x56"}, {0xFA12, "\xC7\xE7"}, {0xFA15, "\x84\x44"}, {0xFA16, "\xD8\x69"}, {0xFA17, "\xD2\xE6"},
    {0xFA19, "\xC9\xF1"}, {0xFA1A, "\xCF\xE9"}, {0xFA1B, "\xB8\xA3"}, {0xFA1C, "\xBE\xB8"}, {0xFA1D, "\xBE\xAB"},
    {0xFA1E, "\xD3\xF0"}, {0xFA22, "\xD6\x54"}, {0xFA25, "\xD2\xDD"}, {0xFA26, "\xB6\xBC"}, {0xFA2A, "\xEF\x88"},
    {0xFA2B, "\xEF\x95"}, {0xFA2C, "\xF0\x5E"}, {0xFA2D, "\xFA\x51"},
};
// clang-format on

static_assert(std::size(kBestFits) == 668);

}  // namespace

std::string BestFit936(uint32_t codePoint) {
  // The private use area from U+E000 on stands for the user-defined areas in order: AAA1-AFFE,
  // F8A1-FEFE (94 a row), then A140-A7A0 (96 a row, 7F left out).
  if (codePoint >= 0xE000 && codePoint < 0xE000 + 564 + 658 + 672) {
    uint32_t n = codePoint - 0xE000;
    if (n < 564) return {static_cast<char>(0xAA + n / 94), static_cast<char>(0xA1 + n % 94)};
    n -= 564;
    if (n < 658) return {static_cast<char>(0xF8 + n / 94), static_cast<char>(0xA1 + n % 94)};
    n -= 658;
    const uint32_t trail = 0x40 + n % 96;
    return {static_cast<char>(0xA1 + n / 96), static_cast<char>(trail < 0x7F ? trail : trail + 1)};
  }
  const auto* found =
      std::lower_bound(std::begin(kBestFits), std::end(kBestFits), codePoint,
                       [](const BestFit& fit, uint32_t wanted) { return fit.codePoint < wanted; });
  if (found == std::end(kBestFits) || found->codePoint != codePoint) return {};
  return found->gbk;
}

}  // namespace quillon
