
	    _end_of_program = 1 
	    if (_init ~= nil) then _init() end
            _set_mainloop_exists(0)
	    if (_mainloop ~= nil) then _set_mainloop_exists(1) end
	    if (_update60 ~= nil) then _set_fps(60) _update=nil else _set_fps(30) end
	    if (_mainloop == nil and (_draw ~= nil or _update ~= nil or _update60 ~= nil)) then
	    	_set_mainloop_exists(2)
		    _mainloop = function() 
	        	while (true) do
	        		_update_buttons()
				    holdframe() 
				    if (stat(7) == 60) then
				    	_mark_cpu(0) _update60() 
				    elseif (stat(7) == 30 and _update60) then
				    	_update60() _update_buttons() _mark_cpu(0) _update60()
				    elseif (stat(7) == 30 and _update) then
				    	_mark_cpu(0) _update() 
				    elseif (stat(7) == 15 and _update) then
				    	_update()  _update_buttons() _mark_cpu(0) _update()
				    end
				    _mark_cpu(1)
				    if (_draw ~= nil) then _draw() end
				    _mark_cpu(2)
				    flip()
				    _update_framerate()
				    for i=1,5 do
				     if (_get_menu_item_selected(i)) then
				      _pausemenu[i].callback()
				     end
				    end
			    end
		    end
	    end
        if (_mainloop ~= nil) then _mainloop() end
        
