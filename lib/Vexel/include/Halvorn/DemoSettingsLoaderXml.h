#pragma once

#include "Halvorn/DemoSettingsLoader.h"

class Tempo;
class XmlElement;

// Reads the XML settings file: the demo's name, version and soundtrack, and
// one part per part entry, made by the application's part factory.
class DemoSettingsLoaderXml : public DemoSettingsLoader
{
public:
    // A missing file throws std::domain_error; a malformed one ends the
    // process inside the XML reader; bad entries fail contract checks.
    void Load(const QString& fileName, DemoModel* model, DemoApp* app) const override;
    // The optional tempo element; false when it is absent or cannot be used.
    static bool ReadTempo(const XmlElement& element, Tempo& tempo);
};
