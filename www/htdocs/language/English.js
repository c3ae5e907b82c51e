/* English is the text of the templates themselves: nothing to replace. */
var LANG = {};
