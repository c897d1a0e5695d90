// Preferences of the throw-away Firefox profile in the Preview test: no first-run pages, no
// reports, updates, studies, blocklists, remote settings or portal checks. Every host name
// resolves to the machine itself, and everything that still wants the Internet goes to a proxy
// port on loopback that the test keeps refusing (the test adds those lines), so no byte leaves.
user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("browser.startup.page", 0);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("browser.newtabpage.enabled", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("toolkit.telemetry.enabled", false);
user_pref("toolkit.telemetry.unified", false);
user_pref("app.normandy.enabled", false);
user_pref("app.update.auto", false);
user_pref("extensions.update.enabled", false);
user_pref("extensions.systemAddon.update.enabled", false);
user_pref("extensions.blocklist.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("browser.safebrowsing.update.enabled", false);
user_pref("media.gmp-manager.url", "");
user_pref("media.gmp-widevinecdm.enabled", false);
user_pref("media.gmp-gmpopenh264.enabled", false);
user_pref("media.eme.enabled", false);
user_pref("security.OCSP.enabled", 0);
user_pref("dom.push.enabled", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("network.dns.disablePrefetch", true);
user_pref("network.dns.native_https_query", false);
user_pref("network.dns.native-is-localhost", true);
user_pref("network.trr.mode", 5);
user_pref("network.prefetch-next", false);
user_pref("network.http.speculative-parallel-limit", 0);
user_pref("network.proxy.type", 1);
user_pref("network.proxy.no_proxies_on", "127.0.0.1");
// One content process is plenty for one page on a small machine.
user_pref("fission.autostart", false);
user_pref("dom.ipc.processCount", 1);
