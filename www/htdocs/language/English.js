/* English is the text of the templates themselves; only a few words the
 * phone reports tersely read better spelled out. */
var LANG = {
  "Stoped": "Stopped",
  "UnConnected": "Disconnected",
  "Inexistence": "Not available"
};
var LANG_CODE = "en";
