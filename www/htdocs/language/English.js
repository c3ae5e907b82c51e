/* English is the text of the templates themselves; only a few words the
 * phone reports tersely read better spelled out. */
var LANG = {
  "Stoped": "Stopped",
  "UnConnected": "Disconnected",
  "Inexistence": "Not available",
  "Error:File isn't exist!": "Error: no file was received!",
  "Fail to upload photo ! [Can not compress the picture]": "The picture could not be scaled for the screen.",
  "Fail to upload photo ! [The Resolution of the picture is too large]": "The picture's resolution is too large.",
  "The file is too large,please less than 5M!": "The file is too large: it must be under 5 MB."
};
var LANG_CODE = "en";
