#include "cli/sources.h"

#include <ostream>

#include "cli/names.h"
#include "domain/catalogue.h"
#include "lists/listsources.h"
#include "rank/ranksources.h"

namespace veltrop::cli {

int runSources(const SourcesOptions& options, std::ostream& out, std::ostream& err)
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
    for (const ListSource& s : listSources())
        out << "list\t" << s.name << "\t" << s.caption << "\n";
    for (const RankSource& s : rankSources())
        out << "rank\t" << s.name << "\t" << s.caption << "\n";
    return 0;
}

} // namespace veltrop::cli
