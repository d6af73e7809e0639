#pragma once
// The Sea-Bird models' parts of their rows in the model table: their decoders and their
// blocks in the file header.

#include <memory>
#include <string>

#include "instruments/ctd_model.h"

namespace vesk {

inline constexpr const char* kUnrecognizedSbe19plusFormat =
    "ERROR: Unrecognized SBE 19plus OUTPUTFORMAT.";

std::unique_ptr<CtdModelDecoder> MakeSbe19Decoder(const SettingsStore& store);
std::unique_ptr<CtdModelDecoder> MakeSbe19plusDecoder(const SettingsStore& store);
std::unique_ptr<CtdModelDecoder> MakeSbe49Decoder(const SettingsStore& store);
std::unique_ptr<CtdModelDecoder> MakeSbe25Decoder(const SettingsStore& store);

// The file header's blocks of the SBE 19 and the SBE 19plus: their options and the
// coefficients in use.
void AppendSbe19HeaderBlock(std::string& out, const SettingsStore& store, const std::string& title);
void AppendSbe19plusHeaderBlock(std::string& out, const SettingsStore& store,
                                const std::string& title);

}  // namespace vesk
