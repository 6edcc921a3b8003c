# The browser host's names, shared by the manifests of the Linux build and
# the Windows registration command.
set(VELIX_HOST_NAME org.velix.host)
# Fixed by the "key" in extension/manifest.json: the first 32 hex digits of
# the SHA-256 of that public key, digits 0-f written a-p.
set(VELIX_CHROMIUM_EXTENSION_ID okfodkimgakfcbfjgfkdaieioljichbi)
# browser_specific_settings.gecko.id in extension/manifest.json.
set(VELIX_FIREFOX_EXTENSION_ID velix-extension@velix.org)
