#include "cli/sources.h"

#include <ostream>

#include "cli/names.h"
#include "domain/catalogue.h"
#include "ranklists/sourcesineffect.h"

namespace veltrop::cli {

int runSources(const SourcesOptions& options, const SourcesInEffect* in, std::ostream& out, std::ostream& err)
{
    if (options.dump) {
        out << builtinCatalogueText();
        return 0;
    }
    if (!options.checkFile.empty()) {
        const CatalogueResult read = readCatalogueFile(options.checkFile);
        for (const std::string& error : read.errors)
            err << error << "\n";
        if (!read.catalogue)
            return 2;
        out << options.checkFile << ": a valid catalogue of " << read.catalogue->lists.size() << " list and "
            << read.catalogue->ranks.size() << " rank sources\n";
        return 0;
    }
    const SourcesInEffect builtin;
    if (!in)
        in = &builtin;
    for (const ListSource& s : in->lists)
        out << "list\t" << s.name << "\t" << s.caption << "\n";
    for (const RankSource& s : in->ranks)
        out << "rank\t" << s.name << "\t" << s.caption << "\n";
    return 0;
}

} // namespace veltrop::cli
