#include "setup/engine/file_groups.h"

#include <strings.h>

namespace quelstat::setup {

const std::vector<FileGroup>& fileGroups() {
    static const std::vector<FileGroup> groups = {
        {64, "", {"quelstat.xll"}, false},
        {64, "system", {"quelstat5.xlb", "quelstat8.xlb", "quelstat.log"}, false},
        {65,
         "system",
         {"tutorial.xls", "tutorhost.dll", "tutorhost", "quelstat.cnt", "quelstat.hlp", "tutorial.hlp"},
         false},
        // The tutorial help file's topics: one page per topic, as the help viewer opens them.
        {65,
         "system/tutorial",
         {"30001.html", "30002.html", "30003.html", "30004.html", "30005.html", "tutorial.css"},
         false},
        {66,
         "system/template",
         {"anova1b.xlt",  "anova1w.xlt", "anova2b.xlt",  "binomial.xlt", "chisq.xlt",    "cochranq.xlt", "correlk.xlt",
          "correlp.xlt",  "correls.xlt", "dscrptv.xlt",  "dscrptvc.xlt", "dscrptvn.xlt", "fisher.xlt",   "friedman.xlt",
          "ftest.xlt",    "kruskal.xlt", "mannwht.xlt",  "mcnemar.xlt",  "median.xlt",   "regressl.xlt", "regressp.xlt",
          "runs.xlt",     "sign.xlt",    "ttest1.xlt",   "ttesti.xlt",   "ttestp.xlt",   "wilcoxon.xlt", "ztest1.xlt",
          "biasplot.xlt", "deming.xlt",  "demingm.xlt",  "diagscrn.xlt", "kappa.xlt",    "pb.xlt",       "pbm.xlt",
          "precsn.xlt",   "precsnp.xlt", "reflimit.xlt", "roc.xlt",      "linearm.xlt",  "linearty.xlt"},
         false},
        {67,
         "system/examples",
         {"2INDEP.XLS",   "2PAIRED.XLS",  "ANOVA1W.XLS",  "ANOVA1WR.XLS", "ANOVA2W.XLS",  "BINOMIAL.XLS",
          "CATDESC.XLS",  "CHISQ.XLS",    "COCHRANQ.XLS", "COMPDESC.XLS", "CONTDESC.XLS", "FISHER.XLS",
          "LREG.XLS",     "MCNEMAR.XLS",  "NONPCORR.XLS", "POLYREG.XLS",  "RUNS.XLS",     "SIGN.XLS",
          "biasplot.XLS", "deming.XLS",   "kappa.XLS",    "passing.XLS",  "precsn.XLS",   "precsnpf.XLS",
          "refintvl.XLS", "roccurve.XLS", "screen.XLS",   "linearty.xls"},
         false},
        {64,
         "system",
         {"welcome.hlp", "quelstat.gid", "welcome.gid", "tutorial.gid", "setup.inf", "elicence.txt", "elicence.rtf"},
         true},
    };
    return groups;
}

bool memberStandsFor(const std::string& member, const std::string& listed) {
    if (strcasecmp(member.c_str(), listed.c_str()) == 0) return true;
    static const char* const aliases[][2] = {{".xls", ".xlsx"}, {".xlt", ".xltx"}, {".dll", ".so"}};
    for (const auto& alias : aliases) {
        std::string oldExt = alias[0], newExt = alias[1];
        if (listed.size() <= oldExt.size() || member.size() <= newExt.size()) continue;
        if (strcasecmp(listed.c_str() + listed.size() - oldExt.size(), oldExt.c_str()) != 0 ||
            strcasecmp(member.c_str() + member.size() - newExt.size(), newExt.c_str()) != 0)
            continue;
        std::string a = listed.substr(0, listed.size() - oldExt.size());
        std::string b = member.substr(0, member.size() - newExt.size());
        if (strcasecmp(a.c_str(), b.c_str()) == 0) return true;
    }
    return false;
}

const FileGroup* findGroup(const std::string& memberName) {
    for (const FileGroup& g : fileGroups()) {
        if (g.removeOnly) continue;
        for (const std::string& f : g.files)
            if (memberStandsFor(memberName, f)) return &g;
    }
    return nullptr;
}

}  // namespace quelstat::setup
