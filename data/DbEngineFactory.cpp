#include "DbEngine.h"

// Placeholder until the engines land: no engine is available.
std::unique_ptr<TDbEngine> CreateAccessEngine(const std::string& driverId) {
    throw TDbEngineError("No database engine for driver " + driverId);
}
